#include "history/HistorySchema.h"

#include <iterator>

namespace {

// Each entry takes a database of version i to version i + 1. Entries are never changed once
// released: a new version adds one.
const char* const kMigrations[] = {
    // 0 -> 1
    "CREATE TABLE jobs(id INTEGER PRIMARY KEY, started TEXT NOT NULL, host TEXT NOT NULL, steps TEXT NOT NULL);"
    "CREATE TABLE devices(job_id INTEGER NOT NULL REFERENCES jobs(id), mac TEXT NOT NULL, ip_before TEXT,"
    " ip_after TEXT, version_before TEXT, version_after TEXT, marks TEXT, message TEXT, seconds REAL);",
    // 1 -> 2: a job of version 1 ended when it started as far as anyone can tell now.
    "ALTER TABLE jobs ADD COLUMN ended TEXT;"
    "UPDATE jobs SET ended = started;"
    "ALTER TABLE jobs ADD COLUMN origin TEXT NOT NULL DEFAULT 'cli';"
    "ALTER TABLE jobs ADD COLUMN exit_code INTEGER;"
    "CREATE INDEX devices_by_mac ON devices(mac);",
};
static_assert(std::size(kMigrations) == kHistorySchemaVersion);

bool read_version(HistoryDatabase& db, int& version) {
    Statement pragma(db.handle(), "PRAGMA user_version");
    if (!pragma.ok() || pragma.step() != SQLITE_ROW) return false;
    version = static_cast<int>(pragma.integer(0));
    return true;
}

} // namespace

bool migrate_history(HistoryDatabase& db, std::string& error) {
    int version = 0;
    if (!read_version(db, version)) {
        error = db.last_error();
        return false;
    }
    if (version > kHistorySchemaVersion) {
        error = "written by a newer fleetset (schema " + std::to_string(version) + ", this one knows " +
                std::to_string(kHistorySchemaVersion) + ")";
        return false;
    }
    for (; version < kHistorySchemaVersion; ++version) {
        if (!db.exec(kMigrations[version], error)) return false;
        const std::string set = "PRAGMA user_version = " + std::to_string(version + 1);
        if (!db.exec(set.c_str(), error)) return false;
    }
    return true;
}
