// Factory test records: their exact bytes, files named after camera MACs, MACs that name no file.
#include "support/TempFile.h"
#include "station/TestRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

namespace {

ovix_device_info camera(const std::string& mac, uint32_t board_id = 0x3516) {
    ovix_device_info info{};
    std::strcpy(info.board_name, "IPC-3516");
    std::strcpy(info.software_version, "2.4.1");
    info.board_id = board_id;
    mac.copy(info.mac, sizeof info.mac - 1);
    return info;
}

std::set<std::string> tree(const std::string& root) {
    std::set<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        paths.insert(std::filesystem::relative(entry.path(), root).string());
    return paths;
}

TEST(TestRecord, HasTheExactBytesAndNeverReadsPastAField) {
    EXPECT_EQ(format_test_record(camera("AA:BB:CC:DD:EE:FF", 0x1a2b), true),
              "{\n\r\"mac\":\"AA:BB:CC:DD:EE:FF\",\n\r\"board_id\":\"0x1a2b\",\n\r\"board_name\":\"IPC-3516\",\n\r"
              "\"software_version\":\"2.4.1\",\n\r\"result\":\"PASS\"\n\r}");
    ovix_device_info full{};  // texts without a NUL, each followed by more text
    full.board_id = 0xffffffff;
    std::strcpy(full.hardware_version, "HW");
    std::memset(full.board_name, 'B', 32);
    std::memset(full.mac, 'M', 64);
    std::memset(full.software_version, 'V', 64);
    EXPECT_EQ(format_test_record(full, false), "{\n\r\"mac\":\"" + std::string(64, 'M') +
              "\",\n\r\"board_id\":\"0xffffffff\",\n\r\"board_name\":\"" + std::string(32, 'B') +
              "\",\n\r\"software_version\":\"" + std::string(64, 'V') + "\",\n\r\"result\":\"NG\"\n\r}");
}

TEST(TestRecord, LaterVerdictReplacesTheFileNamedAfterTheMac) {
    support::TempDir dir;
    const std::string records = dir.path() + "/test_record";
    for (const bool pass : {true, false})
        ASSERT_EQ(write_test_record(records, camera("AA:BB:CC:DD:EE:FF"), pass), TestRecordResult::Written);
    ASSERT_EQ(write_test_record(records, camera(""), true), TestRecordResult::Written);
    EXPECT_EQ(tree(records), (std::set<std::string>{"AA-BB-CC-DD-EE-FF.txt", ".txt"}));
    EXPECT_EQ(support::file_text(records + "/AA-BB-CC-DD-EE-FF.txt"), format_test_record(camera("AA:BB:CC:DD:EE:FF"), false));
}

// Which MACs name a file is the record_name fuzz target's promise; here that a refused one
// writes nothing anywhere.
TEST(TestRecord, AMacThatNamesNoPlainFileWritesNothing) {
    support::TempDir dir;
    std::filesystem::create_directories(dir.path() + "/a/b");
    EXPECT_EQ(write_test_record(dir.path() + "/a/b/test_record", camera("../../etc/passwd"), true), TestRecordResult::RefusedName);
    EXPECT_EQ(tree(dir.path()), (std::set<std::string>{"a", "a/b"}));
    EXPECT_EQ(write_test_record(dir.path() + "/missing/test_record", camera("AA"), true), TestRecordResult::CreateFailed);
}

} // namespace
