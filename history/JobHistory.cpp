#include "history/JobHistory.h"

#include "history/HistoryDatabase.h"
#include "history/HistorySchema.h"

#include "foundation/Clock.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace {

// Long enough for another writer's transaction of a thousand devices to end.
constexpr int64_t kRetryPauseMs = 1000;

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool fail(std::string& error, const std::string& reason) {
    error = reason;
    return false;
}

bool insert_job(HistoryDatabase& db, const HistoryJob& job, std::string& error) {
    Statement add_job(db.handle(), "INSERT INTO jobs(started, ended, host, origin, steps, exit_code) VALUES(?,?,?,?,?,?)");
    if (!add_job.ok()) return fail(error, db.last_error());
    add_job.bind(1, job.started);
    add_job.bind(2, job.ended);
    add_job.bind(3, job.host);
    add_job.bind(4, job.origin);
    add_job.bind(5, job.steps);
    add_job.bind(6, static_cast<int64_t>(job.exit_code));
    if (add_job.step() != SQLITE_DONE) return fail(error, db.last_error());
    const int64_t job_id = sqlite3_last_insert_rowid(db.handle());

    Statement add_device(db.handle(), "INSERT INTO devices(job_id, mac, ip_before, ip_after, version_before, version_after,"
                                      " marks, message, seconds) VALUES(?,?,?,?,?,?,?,?,?)");
    if (!add_device.ok()) return fail(error, db.last_error());
    for (const HistoryDevice& d : job.devices) {
        add_device.bind(1, job_id);
        add_device.bind(2, upper(d.mac));
        add_device.bind(3, d.ip_before);
        add_device.bind(4, d.ip_after);
        add_device.bind(5, d.version_before);
        add_device.bind(6, d.version_after);
        add_device.bind(7, d.marks);
        add_device.bind(8, d.message);
        add_device.bind(9, d.seconds);
        if (add_device.step() != SQLITE_DONE) return fail(error, db.last_error());
        add_device.reset();
    }
    return true;
}

} // namespace

std::string default_history_path() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return std::string(data) + "/fleetset/history.sqlite";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share/fleetset/history.sqlite";
    return {};
}

bool append_job(const std::string& path, const HistoryJob& job, std::string& error) {
    if (path.empty()) return fail(error, "no history file: neither XDG_DATA_HOME nor HOME is set");
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ignored;
    if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
    HistoryDatabase db;
    if (!db.open(path, true, error)) return false;
    // The write lock is taken at once, so a migration and the job see one schema.
    if (!db.exec("BEGIN IMMEDIATE", error)) return false;
    if (!migrate_history(db, error) || !insert_job(db, job, error)) {
        std::string ignored_error;
        db.exec("ROLLBACK", ignored_error);
        error = path + ": " + error;
        return false;
    }
    if (!db.exec("COMMIT", error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool append_job_retrying(const std::string& path, const HistoryJob& job, std::string& error) {
    if (append_job(path, job, error)) return true;
    Clock::sleep_ms(kRetryPauseMs);
    return append_job(path, job, error);
}

bool query_history(const std::string& path, const HistoryQuery& query, std::vector<HistoryRow>& rows, std::string& error) {
    rows.clear();
    std::error_code missing;
    if (!std::filesystem::exists(path, missing)) return true;
    HistoryDatabase db;
    if (!db.open(path, false, error)) return false;
    // Reading an older schema would need its own query: bring it up to date first.
    if (!db.exec("BEGIN IMMEDIATE", error)) return fail(error, path + ": " + error);
    if (!migrate_history(db, error) || !db.exec("COMMIT", error)) {
        std::string ignored;
        db.exec("ROLLBACK", ignored);
        return fail(error, path + ": " + error);
    }
    Statement select(db.handle(),
                     "SELECT j.id, j.started, j.host, j.origin, j.steps, d.mac, d.ip_before, d.ip_after, d.version_before,"
                     " d.version_after, d.marks, d.message, d.seconds FROM devices d JOIN jobs j ON j.id = d.job_id"
                     " WHERE (?1 = '' OR d.mac = ?1) AND (?2 = '' OR j.started >= ?2) ORDER BY j.id, d.rowid");
    if (!select.ok()) return fail(error, path + ": " + db.last_error());
    select.bind(1, upper(query.mac));
    select.bind(2, query.since);
    int result = SQLITE_ROW;
    while ((result = select.step()) == SQLITE_ROW) {
        HistoryRow row;
        row.job_id = select.integer(0);
        row.started = select.text(1);
        row.host = select.text(2);
        row.origin = select.text(3);
        row.steps = select.text(4);
        HistoryDevice& d = row.device;
        d.mac = select.text(5);
        d.ip_before = select.text(6);
        d.ip_after = select.text(7);
        d.version_before = select.text(8);
        d.version_after = select.text(9);
        d.marks = select.text(10);
        d.message = select.text(11);
        d.seconds = select.real(12);
        rows.push_back(std::move(row));
    }
    if (result != SQLITE_DONE) return fail(error, path + ": " + db.last_error());
    return true;
}

std::string history_time_now() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}
