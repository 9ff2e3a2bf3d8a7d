#pragma once
#include "cli/RunOptions.h"
#include "cli/RunReport.h"

#include <string>
#include <vector>

// The steps of a run as the history keeps them: the step flags, the firmware's version with
// --upgrade, the range with --ip-range.
std::string history_steps(const RunOptions& options, const std::string& firmware_version);

// Appends the run's devices to the job history (unless --no-history), after the report was
// written: a locked or damaged database is retried once, then named on standard error; the
// run's exit code never depends on it.
void record_run_history(const RunOptions& options, const std::vector<DeviceReport>& reports, const std::string& started,
                        const std::string& ended, int exit_code);
