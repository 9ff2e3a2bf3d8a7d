#include "batch/StatusMarks.h"
#include "batch/WindowJobHistory.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

DeviceRow row(const std::string& mac, const char* upgrade, const char* clock) {
    DeviceRow r;
    r.mac = mac;
    r.ip = "10.77.1.1";
    r.version = "2.5.0";
    r.marks.fill(kMarkSkipped);
    r.marks[1] = upgrade;
    r.marks[4] = clock;
    r.message = "done";
    return r;
}

TEST(WindowJobHistory, KeepsTheLaunchedRowsWithTheirMarksAndTheStepsAnyOfThemAskedFor) {
    const std::vector<DeviceRow> rows = {row("00:1A:2B:00:00:01", kMarkDone, kMarkSkipped),
                                         row("00:1A:2B:00:00:02", kMarkFailed, kMarkDone),
                                         row("00:1A:2B:00:00:03", kMarkDone, kMarkDone)};
    const HistoryJob job = window_history_job(rows, {0, 1, 7});  // 7: a row the list no longer has
    EXPECT_EQ(job.origin, "window");
    EXPECT_EQ(job.steps, "upgrade, time_sync");
    EXPECT_EQ(job.exit_code, 1);
    ASSERT_EQ(job.devices.size(), 2u);
    EXPECT_EQ(job.devices[1].mac, "00:1A:2B:00:00:02");
    EXPECT_EQ(job.devices[1].version_after, "2.5.0");
    const auto marks = nlohmann::json::parse(job.devices[1].marks);
    EXPECT_EQ(marks["upgrade"], "failed");
    EXPECT_EQ(marks["time_sync"], "ok");
    EXPECT_EQ(marks["logo"], "skipped");
    EXPECT_EQ(window_history_job(rows, {0, 2}).exit_code, 0);
}

} // namespace
