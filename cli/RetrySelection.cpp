#include "cli/RetrySelection.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>

namespace {

using json = nlohmann::json;

bool needs_retry(const json& device) {
    if (device.value("end_reports", 0) != 1 || device.value("stopped", false)) return true;
    const json steps = device.value("steps", json::object());
    for (const auto& [name, mark] : steps.items())
        if (mark.is_string() && mark.get<std::string>() == "failed") return true;
    return false;
}

} // namespace

bool retry_macs(const std::string& report_json, std::vector<std::string>& macs, std::string& error) {
    macs.clear();
    const json report = json::parse(report_json, nullptr, false);
    if (report.is_discarded() || !report.is_array()) {
        error = "not a JSON report of fleetset-cli run (--format json)";
        return false;
    }
    for (const json& device : report) {
        if (!device.is_object() || !device.contains("mac") || !device["mac"].is_string()) {
            error = "a device of the report has no MAC";
            return false;
        }
        if (needs_retry(device)) macs.push_back(device["mac"].get<std::string>());
    }
    return true;
}

bool retry_macs_from_file(const std::string& path, std::vector<std::string>& macs, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.good() && !file.eof()) {
        error = "cannot be read";
        return false;
    }
    return retry_macs(text, macs, error);
}
