#include "station/TestRecord.h"

#include "foundation/AtomicFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace {

constexpr std::string_view kMacKey = "{\n\r\"mac\":\"";
constexpr std::string_view kBoardIdKey = "\",\n\r\"board_id\":\"0x";
constexpr std::string_view kBoardNameKey = "\",\n\r\"board_name\":\"";
constexpr std::string_view kVersionKey = "\",\n\r\"software_version\":\"";
constexpr std::string_view kResultKey = "\",\n\r\"result\":\"";
constexpr std::string_view kClose = "\"\n\r}";

// The record must fit the 512-byte buffer the production line's tools expect; the bounded
// fields and eight hex digits of the board id keep it there.
constexpr size_t kRecordMax = 511;
constexpr size_t kLongestRecord = kMacKey.size() + sizeof(ovix_device_info::mac) + kBoardIdKey.size() + 8 +
                                  kBoardNameKey.size() + sizeof(ovix_device_info::board_name) + kVersionKey.size() +
                                  sizeof(ovix_device_info::software_version) + kResultKey.size() + 4 + kClose.size();
static_assert(kLongestRecord <= kRecordMax);

constexpr size_t kMacTextMax = 100;

template <size_t N>
std::string_view bounded(const char (&field)[N]) {
    return {field, ::strnlen(field, N)};
}


} // namespace

std::string format_test_record(const ovix_device_info& info, bool pass) {
    char board_id[16];
    std::snprintf(board_id, sizeof board_id, "%x", static_cast<unsigned>(info.board_id));
    std::string out;
    out.reserve(kLongestRecord);
    out.append(kMacKey).append(bounded(info.mac));
    out.append(kBoardIdKey).append(board_id);
    out.append(kBoardNameKey).append(bounded(info.board_name));
    out.append(kVersionKey).append(bounded(info.software_version));
    out.append(kResultKey).append(pass ? "PASS" : "NG");
    out.append(kClose);
    return out;
}

std::optional<std::string> test_record_file_name(const std::string& mac) {
    if (mac.size() > kMacTextMax || mac == "." || mac == "..") return std::nullopt;
    std::string name = mac;
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7e || c == '/' || c == '\\') return std::nullopt;
        if (c == ':') c = '-';
    }
    return name + ".txt";
}

TestRecordResult write_test_record(const std::string& directory, const ovix_device_info& info, bool pass) {
    const std::optional<std::string> name = test_record_file_name(std::string(bounded(info.mac)));
    if (!name) return TestRecordResult::RefusedName;
    // A directory that cannot be made is reported by the open below.
    std::error_code ignored;
    std::filesystem::create_directory(directory, ignored);

    const std::string path = directory + "/" + *name;
    // Whole or not at all: a truncated record would reach the production line as if it were
    // whole, and a later verdict replaces an earlier one in one step.
    if (write_file_atomically(path, format_test_record(info, pass))) return TestRecordResult::Written;
    return std::filesystem::is_directory(directory) ? TestRecordResult::WriteFailed : TestRecordResult::CreateFailed;
}
