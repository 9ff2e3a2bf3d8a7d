#include "cli/HistoryCommand.h"
#include "cli/RetrySelection.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

// A device of a `run --format json` report with only the keys a retry reads.
std::string device(const std::string& mac, const std::string& upgrade, int end_reports, bool stopped = false,
                   const std::string& time_sync = "skipped") {
    return R"({"mac": ")" + mac + R"(", "steps": {"change_ip": "skipped", "upgrade": ")" + upgrade +
           R"(", "time_sync": ")" + time_sync + R"("}, "end_reports": )" + std::to_string(end_reports) +
           R"(, "stopped": )" + (stopped ? "true" : "false") + "}";
}

TEST(RetryFailed, PicksExactlyTheFailedAndUnfinishedDevices) {
    struct Row {
        const char* what;
        std::string device;
        bool retried;
    } rows[] = {
        {"succeeded", device("00:1A:2B:00:00:01", "ok", 1), false},
        {"a failed step", device("00:1A:2B:00:00:02", "failed", 1), true},
        {"another step failed", device("00:1A:2B:00:00:03", "ok", 1, false, "failed"), true},
        {"no end report", device("00:1A:2B:00:00:04", "", 0), true},
        {"two end reports", device("00:1A:2B:00:00:05", "ok", 2), true},
        {"stopped", device("00:1A:2B:00:00:06", "ok", 1, true), true},
        {"never started", device("00:1A:2B:00:00:07", "", 0), true},
        {"only skipped steps", device("00:1A:2B:00:00:08", "skipped", 1), false},
    };
    std::string report = "[";
    std::vector<std::string> expected;
    for (const Row& row : rows) {
        report += (report.size() > 1 ? "," : "") + row.device;
        if (row.retried) expected.push_back(nlohmann::json::parse(row.device)["mac"]);
    }
    report += "]";
    std::vector<std::string> macs;
    std::string error;
    ASSERT_TRUE(retry_macs(report, macs, error)) << error;
    EXPECT_EQ(macs, expected);
}

TEST(RetryFailed, RefusesWhatIsNotAJsonReport) {
    for (const char* text : {"", "not json", "{\"mac\": \"00:1A:2B:00:00:01\"}", "[{\"steps\": {}}]", "[1, 2]"}) {
        std::vector<std::string> macs;
        std::string error;
        EXPECT_FALSE(retry_macs(text, macs, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    std::vector<std::string> macs;
    std::string error;
    EXPECT_TRUE(retry_macs("[]", macs, error));
    EXPECT_TRUE(macs.empty());
}

TEST(HistorySince, TakesADateOrADateAndTimeInUtc) {
    struct Row {
        const char* given;
        const char* normal;  // empty: refused
    } rows[] = {
        {"2026-03-05", "2026-03-05T00:00:00Z"},
        {"2026-03-05T08:30:00", "2026-03-05T08:30:00Z"},
        {"2026-03-05T08:30:00Z", "2026-03-05T08:30:00Z"},
        {"2026-3-5", ""},
        {"2026-03-05 08:30:00", ""},
        {"2026-03-05T08:30:00+01", ""},
        {"yesterday", ""},
        {"2026-13-01", ""},
    };
    for (const Row& row : rows) EXPECT_EQ(history_since(row.given), row.normal) << row.given;
}

} // namespace
