#include "cli/RunReport.h"

#include "cli/TextTable.h"

#include "batch/JsonText.h"
#include "batch/StatusMarks.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace {

std::string codes_text(const std::vector<uint32_t>& codes) {
    std::string text;
    for (uint32_t code : codes) text += (text.empty() ? "" : " ") + std::to_string(code);
    return text;
}

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

// The protocol goes beside the MAC in the table, which people read, and last in CSV, whose
// earlier columns scripts may count on.
std::vector<std::string> header(ReportFormat format) {
    std::vector<std::string> cells = {"mac", "ip_before", "ip_after", "version_before", "version_after"};
    cells.insert(cells.end(), kStepNames.begin(), kStepNames.end());
    cells.insert(cells.end(), {"seconds", "status_codes", "message"});
    cells.insert(format == ReportFormat::Table ? cells.begin() + 1 : cells.end(), "protocol");
    return cells;
}

std::vector<std::string> cells(const DeviceReport& d, ReportFormat format) {
    std::vector<std::string> cells = {d.mac, d.ip_before, d.ip_after, d.version_before, d.version_after};
    cells.insert(cells.end(), d.steps.begin(), d.steps.end());
    cells.insert(cells.end(), {seconds_text(d.seconds), codes_text(d.status_codes), d.message});
    cells.insert(format == ReportFormat::Table ? cells.begin() + 1 : cells.end(), d.protocol);
    return cells;
}

std::string to_json(const std::vector<DeviceReport>& devices) {
    auto array = nlohmann::ordered_json::array();
    for (const DeviceReport& d : devices) {
        nlohmann::ordered_json steps = nlohmann::ordered_json::object();
        for (size_t i = 0; i < kStepNames.size(); ++i) steps[kStepNames[i]] = d.steps[i];
        array.push_back({{"mac", d.mac},
                         {"protocol", d.protocol},
                         {"uuid", d.uuid},
                         {"ip_before", d.ip_before},
                         {"ip_after", d.ip_after},
                         {"version_before", d.version_before},
                         {"version_after", d.version_after},
                         {"steps", steps},
                         {"message", d.message},
                         {"status_codes", d.status_codes},
                         {"seconds", d.seconds},
                         {"end_reports", d.end_reports},
                         {"stopped", d.stopped}});
    }
    return json_document(array);
}

} // namespace

DeviceReport device_report(const DeviceRun& run, const DeviceRow& row, int64_t now_ms) {
    DeviceReport d;
    d.mac = run.mac;
    d.ip_before = run.ip_before;
    d.ip_after = row.ip;
    d.version_before = run.version_before;
    d.version_after = row.version;
    for (size_t i = 0; i < d.steps.size(); ++i) d.steps[i] = step_word(row.marks[i]);
    d.message = run.note.empty() ? (row.message == kMarkBlank ? std::string() : row.message) : run.note;
    d.status_codes = run.codes;
    d.end_reports = run.end_reports;
    if (run.started_ms >= 0) d.seconds = static_cast<double>((run.ended_ms >= 0 ? run.ended_ms : now_ms) - run.started_ms) / 1000.0;
    d.stopped = run.stopped;
    return d;
}

std::string format_run_report(const std::vector<DeviceReport>& devices, ReportFormat format) {
    if (format == ReportFormat::Json) return to_json(devices);
    std::vector<std::vector<std::string>> rows;
    for (const DeviceReport& d : devices) rows.push_back(cells(d, format));
    return format_rows(header(format), rows, format);
}

bool device_succeeded(const DeviceReport& device) {
    return device.end_reports == 1 && !device.stopped &&
           std::none_of(device.steps.begin(), device.steps.end(), [](const std::string& s) { return s == "failed"; });
}
