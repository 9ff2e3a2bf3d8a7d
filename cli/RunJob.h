#pragma once
#include "cli/EnglishTexts.h"
#include "cli/RunOptions.h"

// Runs a checked `fleetset-cli run`: searches for the devices, chooses them, runs the job
// through the batch engine with a live display, and writes the report. Returns the exit
// code: 0 when every device ended with no failed step, 1 otherwise (also after a stop),
// 2 when the devices found refuse the options (before anything is sent to them). A dry run
// stops before the launch and prints the plan instead (0: the job would start). Then the
// job's devices go into the history and the summary file is written.
int run_job(const RunOptions& options, const EnglishTexts& texts);
