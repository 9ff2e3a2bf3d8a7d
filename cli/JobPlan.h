#pragma once
#include "batch/BatchJob.h"
#include "cli/EnglishTexts.h"
#include "cli/RunOptions.h"

#include <string>
#include <vector>

// The engine jobs of a run: each chosen device with the address it is given, grouped so
// that the scheduler keeps --parallel devices busy.
struct JobPlan {
    std::vector<std::vector<JobDevice>> batches;
    int max_alive = 1;
    std::string refusal;  // not empty: the devices found refuse the options
};

// Without an address change every device is a job of its own and up to --parallel run at
// once. An address change needs every device of a job past one barrier, so the jobs are
// rounds of --parallel devices, one at a time. Range addresses go to the devices in list
// order, lowest first, leaving out any address a listed device already shows; a range
// with too few of them, or one fixed address for several devices, is refused.
JobPlan plan_jobs(const RunOptions& options, const std::vector<int>& rows, const std::vector<DeviceRow>& listed,
                  const EnglishTexts& texts);
