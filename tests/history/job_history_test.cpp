#include "history/HistorySchema.h"
#include "history/JobHistory.h"

#include "foundation/Clock.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

HistoryDevice device(const std::string& mac, const std::string& before, const std::string& after) {
    return HistoryDevice{mac, "10.77.1.1", "10.77.1.1", before, after, R"({"upgrade":"ok"})", "Upgrade succeeded", 4.5};
}

HistoryJob job(const std::string& started, std::vector<HistoryDevice> devices) {
    return HistoryJob{started, started, "site-a", "cli", "upgrade 2.5.0", 0, std::move(devices)};
}

std::vector<HistoryRow> query(const std::string& path, HistoryQuery q = {}) {
    std::vector<HistoryRow> rows;
    std::string error;
    EXPECT_TRUE(query_history(path, q, rows, error)) << error;
    return rows;
}

// Runs SQL on a connection of the test's own, not through the code under test.
void raw_sql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

class JobHistoryTest : public ::testing::Test {
protected:
    void SetUp() override { Clock::set_speed(100); }
    void TearDown() override { Clock::set_speed(1); }
    support::TempDir dir;
    std::string path() const { return dir.path() + "/sub/history.sqlite"; }
};

TEST_F(JobHistoryTest, AJobKeepsEveryDeviceWithItsJob) {
    std::string error;
    HistoryJob first = job("2026-03-01T10:00:00Z", {device("00:1a:2b:00:00:01", "2.4.1", "2.5.0"),
                                                     device("00:1A:2B:00:00:02", "2.4.1", "2.4.1")});
    first.devices[1].marks = R"({"upgrade":"failed"})";
    first.exit_code = 1;
    ASSERT_TRUE(append_job(path(), first, error)) << error;  // makes the missing directory too

    const auto rows = query(path());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].job_id, rows[1].job_id);
    // The MAC stored upper case.
    EXPECT_EQ(std::tuple(rows[0].device.mac, rows[0].host, rows[0].steps, rows[0].device.version_after),
              std::tuple("00:1A:2B:00:00:01", "site-a", "upgrade 2.5.0", "2.5.0"));
    EXPECT_EQ(std::tuple(rows[1].device.marks, rows[1].device.seconds), std::tuple(R"({"upgrade":"failed"})", 4.5));
}

TEST_F(JobHistoryTest, QueriesByMacAndTimeAcrossJobs) {
    std::string error;
    ASSERT_TRUE(append_job(path(), job("2026-03-01T10:00:00Z", {device("00:1A:2B:00:00:01", "2.4.1", "2.5.0"),
                                                                device("00:1A:2B:00:00:02", "2.4.1", "2.5.0")}),
                           error));
    ASSERT_TRUE(append_job(path(), job("2026-03-05T08:30:00Z", {device("00:1A:2B:00:00:01", "2.5.0", "2.6.0")}), error));

    struct Row {
        HistoryQuery query;
        std::vector<std::string> versions_after;  // of the rows found, oldest job first
    } rows[] = {
        {{"", ""}, {"2.5.0", "2.5.0", "2.6.0"}},
        {{"00:1a:2b:00:00:01", ""}, {"2.5.0", "2.6.0"}},  // any case, both jobs
        {{"00:1A:2B:00:00:02", ""}, {"2.5.0"}},
        {{"00:1A:2B:00:00:09", ""}, {}},
        {{"00:1A:2B:00:00:01", "2026-03-02T00:00:00Z"}, {"2.6.0"}},
        {{"", "2026-03-05T08:30:00Z"}, {"2.6.0"}},  // at the start counts
        {{"", "2026-04-01T00:00:00Z"}, {}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> found;
        for (const HistoryRow& r : query(path(), row.query)) found.push_back(r.device.version_after);
        EXPECT_EQ(found, row.versions_after) << "mac " << row.query.mac << " since " << row.query.since;
    }
}

TEST_F(JobHistoryTest, AMissingFileIsAnEmptyHistory) { EXPECT_TRUE(query(dir.path() + "/none.sqlite").empty()); }

TEST_F(JobHistoryTest, ALockedDatabaseFailsTheAppendWithinItsBudgetAndKeepsNothingOfIt) {
    std::string error;
    ASSERT_TRUE(append_job(path(), job("2026-03-01T10:00:00Z", {device("00:1A:2B:00:00:01", "2.4.1", "2.5.0")}), error));
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(path().c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    EXPECT_FALSE(append_job_retrying(path(), job("2026-03-02T10:00:00Z", {device("00:1A:2B:00:00:01", "2.5.0", "2.6.0")}),
                                     error));
    EXPECT_NE(error.find("locked"), std::string::npos) << error;

    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(query(path()).size(), 1u);
    EXPECT_TRUE(append_job(path(), job("2026-03-03T10:00:00Z", {device("00:1A:2B:00:00:01", "2.5.0", "2.6.0")}), error));
    EXPECT_EQ(query(path()).size(), 2u);
}

TEST_F(JobHistoryTest, ADamagedOrNewerDatabaseIsRefusedWithAReason) {
    struct Row {
        const char* what;
        std::function<void(const std::string& file)> make;
        const char* reason;
    } rows[] = {
        {"not a database", [](const std::string& file) { std::ofstream(file) << std::string(4096, 'x'); }, "not a database"},
        {"a newer schema",
         [](const std::string& file) { raw_sql(file, "PRAGMA user_version = " + std::to_string(kHistorySchemaVersion + 1)); },
         "newer fleetset"},
    };
    for (const Row& row : rows) {
        const std::string file = dir.path() + "/" + row.what + ".sqlite";
        row.make(file);
        std::string error;
        EXPECT_FALSE(append_job(file, job("2026-03-01T10:00:00Z", {}), error)) << row.what;
        EXPECT_NE(error.find(row.reason), std::string::npos) << row.what << ": " << error;
        std::vector<HistoryRow> found;
        EXPECT_FALSE(query_history(file, {}, found, error)) << row.what;
    }
}

TEST_F(JobHistoryTest, AVersionOneDatabaseIsMigratedWithItsRowsKept) {
    // Version 1 as it was written: no job end, origin or exit code.
    const std::string file = dir.path() + "/v1.sqlite";
    raw_sql(file,
            "CREATE TABLE jobs(id INTEGER PRIMARY KEY, started TEXT NOT NULL, host TEXT NOT NULL, steps TEXT NOT NULL);"
            "CREATE TABLE devices(job_id INTEGER NOT NULL REFERENCES jobs(id), mac TEXT NOT NULL, ip_before TEXT,"
            " ip_after TEXT, version_before TEXT, version_after TEXT, marks TEXT, message TEXT, seconds REAL);"
            "INSERT INTO jobs VALUES(1, '2025-11-20T09:00:00Z', 'old-host', 'upgrade 2.4.1');"
            "INSERT INTO devices VALUES(1, '00:1A:2B:00:00:01', '10.77.1.1', '10.77.1.1', '2.3.0', '2.4.1',"
            " '{\"upgrade\":\"ok\"}', 'Upgrade succeeded', 3.0);"
            "PRAGMA user_version = 1;");
    std::string error;
    ASSERT_TRUE(append_job(file, job("2026-03-01T10:00:00Z", {device("00:1A:2B:00:00:01", "2.4.1", "2.5.0")}), error))
        << error;

    const auto rows = query(file, {"00:1A:2B:00:00:01", ""});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::tuple(rows[0].host, rows[0].origin, rows[0].device.version_after, rows[1].device.version_after),
              std::tuple("old-host", "cli", "2.4.1", "2.5.0"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* version = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &version, nullptr);
    ASSERT_EQ(sqlite3_step(version), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(version, 0), kHistorySchemaVersion);
    sqlite3_finalize(version);
    sqlite3_close(db);
}

} // namespace
