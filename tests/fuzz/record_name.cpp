// The test station's record of a camera: the file name made from the MAC the camera sends,
// and the record's text made from its device information. The name keeps the promises of
// test_record_file_name exactly; the text stays within the production line's 512 bytes.
#include "devsdk/ovix_client.h"
#include "tests/fuzz/FuzzSupport.h"
#include "station/TestRecord.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

bool acceptable_mac(const std::string& mac) {
    if (mac.size() > 100 || mac == "." || mac == "..") return false;
    return std::all_of(mac.begin(), mac.end(), [](char c) { return c >= 0x20 && c <= 0x7e && c != '/' && c != '\\'; });
}

void check_name(const std::string& mac) {
    const std::optional<std::string> name = test_record_file_name(mac);
    FUZZ_CHECK(name.has_value() == acceptable_mac(mac));
    if (!name) return;
    FUZZ_CHECK(*name != "." && *name != ".." && name->find('/') == std::string::npos);
    FUZZ_CHECK(name->find('\\') == std::string::npos && name->find(':') == std::string::npos);
    FUZZ_CHECK(std::all_of(name->begin(), name->end(), [](char c) { return c >= 0x20 && c <= 0x7e; }));
    std::string expected = mac;
    std::replace(expected.begin(), expected.end(), ':', '-');
    FUZZ_CHECK(*name == expected + ".txt");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const bool pass = (in.byte() & 1) != 0;
    const std::string_view bytes = in.text(in.remaining());
    check_name(std::string(bytes));

    // The device information as it comes off the wire, fields filled to the last byte or not.
    ovix_device_info info;
    std::memset(&info, 0, sizeof info);
    std::memcpy(&info, bytes.data(), std::min(bytes.size(), sizeof info));
    check_name(std::string(info.mac, strnlen(info.mac, sizeof info.mac)));
    const std::string record = format_test_record(info, pass);
    FUZZ_CHECK(record.size() <= 511);
    FUZZ_CHECK(record.starts_with("{\n\r\"mac\":\"") && record.ends_with("\"\n\r}"));
    return 0;
}
