#pragma once
#include <string>
#include <vector>

// The MACs of an earlier `run --format json` report that a retry works on: devices with a
// failed step, devices that did not make exactly one end report, and devices that were
// stopped. Returns false with the reason when the text is not such a report.
bool retry_macs(const std::string& report_json, std::vector<std::string>& macs, std::string& error);

// retry_macs on the file at path.
bool retry_macs_from_file(const std::string& path, std::vector<std::string>& macs, std::string& error);
