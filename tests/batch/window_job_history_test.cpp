#include "batch/StatusMarks.h"
#include "batch/WindowJobHistory.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <tuple>

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
    EXPECT_EQ(std::tuple(job.origin, job.steps, job.exit_code), std::tuple("window", "upgrade, time_sync", 1));
    ASSERT_EQ(job.devices.size(), 2u);
    const auto marks = nlohmann::json::parse(job.devices[1].marks);
    EXPECT_EQ(std::tuple(job.devices[1].mac, job.devices[1].version_after, marks["upgrade"], marks["time_sync"],
                         marks["logo"]),
              std::tuple("00:1A:2B:00:00:02", "2.5.0", "failed", "ok", "skipped"));
    EXPECT_EQ(window_history_job(rows, {0, 2}).exit_code, 0);
}

} // namespace
