#include "cli/DeviceListFormat.h"
#include "support/DeviceRecord.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>

namespace {

DEV_INFO device(const char* mac, const char* ip, const char* version) {
    DEV_INFO d = make_device_record(mac, ip, version);
    d.cmd_port = 5000;
    d.media_port = 5001;
    d.phone_port = 5002;
    d.ipc_type = 3;
    d.device_type = 200;
    return d;
}

// Cameras our own discovery found, as the command line lists them.
std::string list(const std::vector<DEV_INFO>& devices, DeviceListFormat format) {
    return format_camera_list(merge_cameras(devices, {}), format);
}

} // namespace

TEST(DeviceListFormat, JsonHasEveryKeyWithNumbersAsNumbersInTableOrder) {
    const auto j = nlohmann::json::parse(list({device("00:1A:2B:00:00:01", "10.77.1.1", "2.4.1"),
                                               device("00:1A:2B:00:00:02", "10.77.1.2", "2.4.2")},
                                              DeviceListFormat::Json));
    ASSERT_EQ(j.size(), 2u);
    EXPECT_EQ(j[1]["mac"], "00:1A:2B:00:00:02");
    EXPECT_EQ(j[0], nlohmann::json::parse(R"({"mac": "00:1A:2B:00:00:01", "ip": "10.77.1.1", "cmd_port": 5000,
        "media_port": 5001, "http_port": 80, "phone_port": 5002, "ipc_type": 3, "board_type": 13590, "device_type": 200,
        "subnet_mask": "255.255.0.0", "gateway": "10.77.0.254", "software_ver": "2.4.1", "protocol": "own",
        "uuid": "", "model": "", "manufacturer": "", "xaddr": ""})"));
}

TEST(DeviceListFormat, EmptyTableIsAnEmptyArrayOrJustTheHeader) {
    EXPECT_EQ(nlohmann::json::parse(list({}, DeviceListFormat::Json)), nlohmann::json::array());
    EXPECT_EQ(list({}, DeviceListFormat::Csv), "mac,ip,cmd_port,media_port,http_port,phone_port,ipc_type,board_type,"
                                               "device_type,subnet_mask,gateway,software_ver,protocol,uuid,model,"
                                               "manufacturer,xaddr\r\n");
}

TEST(DeviceListFormat, TextFieldsFilledToTheLastByteAreNotOverread) {
    DEV_INFO d = device("m", "10.77.1.1", "x");
    std::memset(d.software_ver, 'v', sizeof d.software_ver);  // no terminator in the field
    auto j = nlohmann::json::parse(list({d}, DeviceListFormat::Json));
    EXPECT_EQ(j[0]["software_ver"], std::string(32, 'v'));
}

TEST(DeviceListFormat, InvalidUtf8FromADeviceDoesNotBreakJson) {
    auto out = list({device("m", "10.77.1.1", "\xff\xfe")}, DeviceListFormat::Json);
    EXPECT_TRUE(nlohmann::json::accept(out));
}

TEST(DeviceListFormat, TableShowsBoardTypeInHexAndACount) {
    auto out = list({device("00:1A:2B:00:00:01", "10.77.1.1", "2.4.1")}, DeviceListFormat::Table);
    EXPECT_NE(out.find("0x3516"), std::string::npos);
    EXPECT_NE(out.find("1 device\n"), std::string::npos);
}

// How the table shows control characters is the printable-text table's and the discovery
// smoke test's; the JSON carries the text exactly, in its own escapes.
TEST(DeviceListFormat, JsonKeepsControlCharacters) {
    const auto j = nlohmann::json::parse(list({device("\x1b]0;owned\x07", "10.77.1.1", "2.4.1")}, DeviceListFormat::Json));
    EXPECT_EQ(j[0]["mac"], "\x1b]0;owned\x07");
}
