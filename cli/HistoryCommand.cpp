#include "cli/HistoryCommand.h"

#include "batch/JsonText.h"
#include "cli/TextTable.h"
#include "discovery/PrintableText.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <map>
#include <memory>

namespace {

using ordered_json = nlohmann::ordered_json;

const std::vector<std::string> kHeader = {"job",      "started",        "host",          "origin", "steps",
                                          "mac",      "ip_before",      "ip_after",      "version_before",
                                          "version_after", "marks",     "seconds",       "message"};

ordered_json marks_object(const std::string& text) {
    ordered_json marks = ordered_json::parse(text, nullptr, false);
    return marks.is_object() ? marks : ordered_json::object();
}

// "upgrade ok, time_sync failed": the steps that were requested, for a line of text.
std::string marks_words(const std::string& text) {
    std::string words;
    const ordered_json marks = marks_object(text);
    for (const auto& [step, mark] : marks.items()) {
        if (!mark.is_string() || mark == "skipped") continue;
        const std::string word = mark.get<std::string>();
        words += (words.empty() ? "" : ", ") + step + " " + (word.empty() ? "not reached" : word);
    }
    return words;
}

std::vector<std::string> cells(const HistoryRow& r) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", r.device.seconds);
    const HistoryDevice& d = r.device;
    return {std::to_string(r.job_id), r.started,         r.host,     r.origin,         r.steps, d.mac, d.ip_before,
            d.ip_after,               d.version_before, d.version_after, marks_words(d.marks), seconds, d.message};
}

std::string to_json(const std::vector<HistoryRow>& rows) {
    auto array = ordered_json::array();
    for (const HistoryRow& r : rows) {
        const HistoryDevice& d = r.device;
        array.push_back({{"job", r.job_id},
                         {"started", r.started},
                         {"host", r.host},
                         {"origin", r.origin},
                         {"steps", r.steps},
                         {"mac", d.mac},
                         {"ip_before", d.ip_before},
                         {"ip_after", d.ip_after},
                         {"version_before", d.version_before},
                         {"version_after", d.version_after},
                         {"marks", marks_object(d.marks)},
                         {"seconds", d.seconds},
                         {"message", d.message}});
    }
    return json_document(array);
}

int run_history(const HistoryOptions& options) {
    HistoryQuery query{options.mac, {}};
    if (!options.since.empty()) {
        query.since = history_since(options.since);
        if (query.since.empty()) {
            std::fprintf(stderr, "fleetset-cli history: --since \"%s\": expected YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS (UTC)\n",
                         printable_text(options.since).c_str());
            return 2;
        }
    }
    const std::string path = options.history_file.empty() ? default_history_path() : options.history_file;
    std::vector<HistoryRow> rows;
    std::string error;
    if (!query_history(path, query, rows, error)) {
        std::fprintf(stderr, "fleetset-cli history: %s\n", printable_text(error).c_str());
        return 1;
    }
    const std::string out = format_history(rows, options.format);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

std::string history_since(const std::string& text) {
    std::tm parts{};
    const char* end = nullptr;
    if (text.size() == 10) end = strptime(text.c_str(), "%Y-%m-%d", &parts);
    else if (text.size() == 19 || (text.size() == 20 && text.back() == 'Z'))
        end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &parts);
    if (!end || (*end != '\0' && !(*end == 'Z' && end[1] == '\0'))) return {};
    char normal[32];
    std::strftime(normal, sizeof normal, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return normal;
}

std::string format_history(const std::vector<HistoryRow>& rows, ReportFormat format) {
    if (format == ReportFormat::Json) return to_json(rows);
    std::vector<std::vector<std::string>> lines;
    for (const HistoryRow& r : rows) lines.push_back(cells(r));
    return format_rows(kHeader, lines, format);
}

void add_history_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<HistoryOptions>();
    auto* cmd = app.add_subcommand("history", "What earlier jobs did to which camera, when, and with what result");
    cmd->add_option("--mac", options->mac, "Only this camera (any case)");
    cmd->add_option("--since", options->since, "Only jobs started at or after this UTC date (YYYY-MM-DD[THH:MM:SS])");
    const std::map<std::string, ReportFormat> formats = {
        {"table", ReportFormat::Table}, {"json", ReportFormat::Json}, {"csv", ReportFormat::Csv}};
    cmd->add_option("--format", options->format, "Output format: table, json or csv")
        ->transform(CLI::CheckedTransformer(formats, CLI::ignore_case).description(""))->type_name("table|json|csv");
    cmd->add_option("--history", options->history_file, "Job history database (default $XDG_DATA_HOME/fleetset/history.sqlite)");
    cmd->callback([options, &exit_code] { exit_code = run_history(*options); });
}
