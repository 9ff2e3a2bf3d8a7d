#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What one job did to one device, as it goes into the history.
struct HistoryDevice {
    std::string mac;  // stored upper case
    std::string ip_before, ip_after;
    std::string version_before, version_after;
    std::string marks;  // JSON object: step name -> "ok", "failed", "skipped" or ""
    std::string message;
    double seconds = 0;
};

// One job: when (UTC, "YYYY-MM-DDTHH:MM:SSZ"), where, what, and its devices.
struct HistoryJob {
    std::string started, ended;
    std::string host;
    std::string origin;  // "cli" or "window"
    std::string steps;   // the steps as the front end names them
    int exit_code = 0;
    std::vector<HistoryDevice> devices;
};

// One device row of a query, with its job.
struct HistoryRow {
    int64_t job_id = 0;
    std::string started, host, origin, steps;
    HistoryDevice device;
};

struct HistoryQuery {
    std::string mac;    // empty: every device; any case
    std::string since;  // empty: all time; else rows of jobs started at or after this time text
};

// $XDG_DATA_HOME/fleetset/history.sqlite, or ~/.local/share/fleetset/history.sqlite; empty
// when neither variable is set.
std::string default_history_path();

// Appends a job in one transaction, making the file (and its directory) when missing and
// bringing an older schema up to date first. A locked database is waited for within a
// bounded budget. Returns false with the reason in error; nothing of the job is then kept.
bool append_job(const std::string& path, const HistoryJob& job, std::string& error);

// append_job, and once more after a pause when it fails: another program may have held the
// database for longer than the budget.
bool append_job_retrying(const std::string& path, const HistoryJob& job, std::string& error);

// The device rows matching the query, oldest job first. A missing file is an empty history.
bool query_history(const std::string& path, const HistoryQuery& query, std::vector<HistoryRow>& rows, std::string& error);

// The current UTC time as history time text.
std::string history_time_now();
