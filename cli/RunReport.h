#pragma once
#include "batch/DeviceTable.h"
#include "batch/StatusMarks.h"  // kStepNames, step_word
#include "cli/DeviceRuns.h"
#include "cli/RunOptions.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The outcome of one device at the end of a run.
struct DeviceReport {
    std::string mac;
    std::string protocol;  // the one the job spoke: "own" or "onvif"
    std::string uuid;      // the ONVIF endpoint, "" when none is known
    std::string ip_before, ip_after;
    // after: the list's version at the end, which a worker sets to what the device said
    // after its reboot.
    std::string version_before, version_after;
    // Columns 6 to 11: "ok", "failed", "skipped" (not requested) or "" (no mark).
    std::array<std::string, kMarkColumns> steps;
    std::string message;
    std::vector<uint32_t> status_codes;
    int end_reports = 0;
    double seconds = 0;  // from its launch to its end report (or to now), Clock seconds
    bool stopped = false;
};

DeviceReport device_report(const DeviceRun& run, const DeviceRow& row, int64_t now_ms);

std::string format_run_report(const std::vector<DeviceReport>& devices, ReportFormat format);

// Succeeded: ended once by itself and no step failed.
bool device_succeeded(const DeviceReport& device);
