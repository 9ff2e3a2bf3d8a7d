#include "cli/RunHistory.h"

#include "batch/BatchJob.h"
#include "cli/DeviceSelection.h"
#include "discovery/PrintableText.h"
#include "history/JobHistory.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <unistd.h>

namespace {

std::string host_name() {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

std::string marks_json(const DeviceReport& report) {
    nlohmann::ordered_json marks = nlohmann::ordered_json::object();
    for (size_t i = 0; i < kStepNames.size(); ++i) marks[kStepNames[i]] = report.steps[i];
    return marks.dump();
}

} // namespace

std::string history_steps(const RunOptions& options, const std::string& firmware_version) {
    std::string text;
    for (const std::string& name : step_flag_names(options.steps)) {
        text += (text.empty() ? "" : ", ") + name;
        if (name == "upgrade" && !firmware_version.empty()) text += " " + firmware_version;
        if (name == "ip-range") text += " " + options.ip_range;
        if (name == "set-ip") text += " " + options.fixed_ip;
    }
    return text;
}

void record_run_history(const RunOptions& options, const std::vector<DeviceReport>& reports, const std::string& started,
                        const std::string& ended, int exit_code) {
    if (options.no_history) return;
    HistoryJob job;
    job.started = started;
    job.ended = ended;
    job.host = host_name();
    job.origin = "cli";
    job.steps = history_steps(options, options.steps.need_update ? upgrade_version(options) : "");
    job.exit_code = exit_code;
    for (const DeviceReport& r : reports)
        job.devices.push_back(
            HistoryDevice{r.mac, r.ip_before, r.ip_after, r.version_before, r.version_after, marks_json(r), r.message, r.seconds});
    const std::string path = options.history_file.empty() ? default_history_path() : options.history_file;
    std::string error;
    if (!append_job_retrying(path, job, error))
        std::fprintf(stderr, "fleetset-cli run: the job history was not written (the report was): %s\n",
                     printable_text(error).c_str());
}
