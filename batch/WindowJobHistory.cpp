#include "batch/WindowJobHistory.h"

#include "batch/StatusMarks.h"
#include "foundation/debug_log.h"

#include <nlohmann/json.hpp>

#include <thread>
#include <unistd.h>

HistoryJob window_history_job(const std::vector<DeviceRow>& rows, const std::vector<int>& launched) {
    HistoryJob job;
    job.started = job.ended = history_time_now();
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) job.host = host;
    job.origin = "window";
    std::vector<bool> requested(kStepNames.size(), false);
    for (const int index : launched) {
        if (index < 0 || static_cast<size_t>(index) >= rows.size()) continue;
        const DeviceRow& row = rows[static_cast<size_t>(index)];
        nlohmann::ordered_json marks = nlohmann::ordered_json::object();
        bool failed = false;
        for (size_t i = 0; i < kStepNames.size(); ++i) {
            const std::string word = step_word(row.marks[i]);
            marks[kStepNames[i]] = word;
            requested[i] = requested[i] || word != "skipped";
            failed = failed || word == "failed";
        }
        if (failed) job.exit_code = 1;
        job.devices.push_back(HistoryDevice{row.mac, {}, row.ip, {}, row.version, marks.dump(), row.message, 0});
    }
    for (size_t i = 0; i < kStepNames.size(); ++i)
        if (requested[i]) job.steps += (job.steps.empty() ? "" : ", ") + std::string(kStepNames[i]);
    return job;
}

void append_window_job(HistoryJob job) {
    std::thread([job = std::move(job)] {
        std::string error;
        if (!append_job_retrying(default_history_path(), job, error))
            debug_log("[WindowJobHistory] the job history was not written: %s\n", error.c_str());
    }).detach();
}
