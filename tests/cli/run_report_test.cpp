// From reports to the final per-device report: marks and messages as the window shows
// them, the words and keys a script reads, and the CSV that survives a device's texts.
#include "batch/StatusMarks.h"
#include "cli/DeviceRuns.h"
#include "cli/EnglishTexts.h"
#include "cli/RunReport.h"
#include "support/DeviceRecord.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using ::testing::HasSubstr;

namespace {

const EnglishTexts kTexts{FLEETSET_SOURCE_DIR "/app/lang/lumora_en.ini"};

DeviceRow after(std::initializer_list<uint32_t> codes) {
    DeviceRow row;
    for (uint32_t code : codes) apply_status(row, code, kTexts.lookup());
    return row;
}

void status(DeviceRuns& runs, int row, std::initializer_list<uint32_t> codes) {
    for (uint32_t code : codes) runs.report(REPORT_STATUS, pack_report(static_cast<uint32_t>(row), code), {row});
}

} // namespace

TEST(StatusMarks, CodesSetTheirColumnAndMessageAsInTheWindow) {
    const DeviceRow done = after({ST_UPGRADE_OK});
    EXPECT_EQ(done.marks[1] + " " + done.message, kMarkDone + std::string(" Upgrade succeeded"));
    const DeviceRow skipped = after({ST_IS_UPGRADE, ST_UPGRADE_SKIP});  // a mark without a key keeps the message
    EXPECT_EQ(skipped.marks[1] + " " + skipped.message, kMarkSkipped + std::string(" Upgrading..."));
    const DeviceRow max_users = after({ST_LOGIN_MAX_USER});
    EXPECT_THAT(max_users.marks, ::testing::Each(""));
    EXPECT_THAT(max_users.message, HasSubstr("too many users"));
    EXPECT_EQ(after({ST_CHANGE_IP_OK}).message, "Settings applied");
    const DeviceRow cleared = after({ST_SETTING_FAIL, ST_LOGO_OK, ST_CLEAR_ROW});
    EXPECT_THAT(cleared.marks, ::testing::Each(" "));
    EXPECT_EQ(cleared.message, " ");
    const DeviceRow failed = after({ST_TIME_SYNC_FAIL});
    for (uint32_t unknown : {5u, kFirstUnknownStatus, 35u}) {
        DeviceRow row = failed;
        EXPECT_FALSE(apply_status(row, unknown, kTexts.lookup())) << unknown;
        EXPECT_EQ(std::tie(row.marks, row.message), std::tie(failed.marks, failed.message));
    }
}

TEST(RunReport, JsonGivesEachDeviceItsStepsCodesAndEnd) {
    DeviceTable table;
    table.update_dev_find_list(make_device_record("00:1A:2B:00:00:01", "10.77.1.1"), true, "");
    table.update_dev_find_list(make_device_record("00:1A:2B:00:00:02", "10.77.1.2"), true, "");
    DeviceRuns runs(table, {0, 1}, kTexts.lookup());
    runs.launched({0, 1});
    status(runs, 0, {ST_CLEAR_ROW, ST_CHANGE_IP_SKIP, ST_IS_UPGRADE, ST_UPGRADE_OK, ST_LOGO_SKIP, ST_SETTING_OK});
    // The engine reads the new version back after the reboot; discovery brings the new address.
    table.update_dev_find_list(make_device_record("00:1A:2B:00:00:01", "10.77.9.1", "2.5.0"), false, "");
    runs.report(REPORT_DEVICE_DONE, 0, {0});
    status(runs, 1, {ST_CLEAR_ROW, ST_UPGRADE_FAIL, ST_SETTING_FAIL});  // and never an end report

    std::vector<DeviceReport> reports;
    for (const DeviceRun& run : runs.runs()) reports.push_back(device_report(run, *table.row(run.row), 0));
    const auto json = nlohmann::json::parse(format_run_report(reports, ReportFormat::Json));
    ASSERT_EQ(json.size(), 2u);
    const auto& ok = json[0];
    EXPECT_EQ(ok["mac"], "00:1A:2B:00:00:01");
    EXPECT_TRUE(ok.contains("seconds"));
    EXPECT_EQ(ok["ip_before"], "10.77.1.1");
    EXPECT_EQ(ok["ip_after"], "10.77.9.1");
    EXPECT_EQ(ok["version_before"], "2.4.1");
    EXPECT_EQ(ok["version_after"], "2.5.0");
    EXPECT_EQ(ok["steps"], (nlohmann::json{{"change_ip", "skipped"}, {"upgrade", "ok"}, {"logo", "skipped"},
                                           {"command", ""}, {"time_sync", ""}, {"settings", "ok"}}));
    EXPECT_EQ(ok["message"], "Settings applied");
    EXPECT_EQ(ok["status_codes"], (std::vector<uint32_t>{28, 15, 6, 8, 21, 26}));
    EXPECT_TRUE(device_succeeded(reports[0]));

    EXPECT_EQ(json[1]["steps"]["upgrade"], "failed");
    EXPECT_EQ(json[1]["message"], "Settings failed");
    EXPECT_EQ(json[1]["end_reports"], 0);
    EXPECT_FALSE(device_succeeded(reports[1]));
}

