#pragma once
#include "batch/DeviceTable.h"
#include "cli/RunOptions.h"

#include <string>
#include <vector>

// Which listed devices a run works on, in list order.
struct DeviceSelection {
    std::vector<int> rows;                 // to run
    std::vector<std::string> missing;      // MACs and addresses named but not found
    std::vector<int> up_to_date;           // left out by --only-outdated
    std::vector<int> without_version;      // cannot be worked on: the list shows no version
};

// --all, or the rows whose MAC (any case) or address was named; then, with --only-outdated,
// leaves out the rows whose version already matches the firmware file.
DeviceSelection select_devices(const std::vector<DeviceRow>& rows, const RunOptions& options);
