// The launch rules both front ends share: each row is an input a person or a script gives,
// and the refusal it must meet before anything is sent.
#include "batch/LaunchPlan.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

namespace {

TEST(LaunchPlan, RangesAreCheckedThenFilledTurnedOrRefused) {
    using R = LaunchRefusal;
    struct Row {
        const char* first;
        const char* last;
        bool keep_order;
        R expected;
        const char* range;  // prefix.first-last when accepted
    };
    const Row rows[] = {
        {"10.77.1.5", "10.77.1.9", true, R::None, "10.77.1.5-9"},
        {"", "10.77.1.7", true, R::None, "10.77.1.7-7"},               // one good end makes a range of one
        {"255.255.255.255", "10.77.1.7", true, R::None, "10.77.1.7-7"},
        {"0.0.0.0", "", true, R::RangeInvalid, ""},
        {"10.0.0.1", "10.0.1.5", true, R::RangePrefixMismatch, ""},
        {"10.77.1.20", "10.77.1.10", true, R::RangeEndBelowStart, ""},
        {"10.77.1.20", "10.77.1.10", false, R::None, "10.77.1.10-20"},  // the command line turns it round
        {"127.0.0.1", "127.0.0.9", true, R::RangeUnusable, ""},
        {"224.0.0.1", "224.0.0.9", true, R::RangeUnusable, ""},
    };
    for (const Row& row : rows) {
        std::string first = row.first, last = row.last;
        AddressRange range;
        EXPECT_EQ(check_address_range(first, last, row.keep_order, range), row.expected) << row.first << "-" << row.last;
        if (row.expected == R::None) {
            EXPECT_EQ(range.prefix + "." + std::to_string(range.first) + "-" + std::to_string(range.last), row.range);
        }
    }
    AddressRange range;
    ASSERT_EQ(parse_address_range("10.77.1.0-10.77.1.255", range), R::None);
    const auto pool = free_addresses(range, [](const std::string& a) { return a == "10.77.1.2"; });
    EXPECT_EQ(pool.size(), 253u) << "neither .0, .255 nor a listed address";
    EXPECT_EQ(pool.front(), "10.77.1.1");
    EXPECT_EQ(pool[1], "10.77.1.3");
}

TEST(LaunchPlan, FirmwarePathsSayWhatIsWrong) {
    support::TempDir dir;
    const std::string plain = dir.write("plain.update", "not a firmware file");
    EXPECT_EQ(check_firmware_path("", false), LaunchRefusal::FirmwarePathEmpty);
    EXPECT_EQ(check_firmware_path("a.updat", false), LaunchRefusal::FirmwarePathShort);
    EXPECT_EQ(check_firmware_path(dir.path() + "/none.update", false), LaunchRefusal::FirmwareMissing);
    EXPECT_EQ(check_firmware_path(dir.path(), false), LaunchRefusal::FirmwareMissing) << "a directory";
    EXPECT_EQ(check_firmware_path(plain, false), LaunchRefusal::None) << "the window leaves the header to the job";
    EXPECT_EQ(check_firmware_path(plain, true), LaunchRefusal::FirmwareNoHeader);
    EXPECT_TRUE(is_disruptive_command("sleep 1; reboot"));
    EXPECT_FALSE(is_disruptive_command("echo hello"));
}

} // namespace
