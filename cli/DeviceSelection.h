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
    std::vector<int> other_protocol;       // named, but not reached by --protocol
};

// The version an upgrade leaves a camera on: the file's header's, else --expect-version.
std::string upgrade_version(const RunOptions& options);

// --all, or the rows whose MAC (any case) or address was named, of those --protocol reaches;
// then, with --only-outdated, leaves out the rows whose version already matches the upgrade's.
// Only our protocol needs a version to work on a camera: an ONVIF camera that could not be
// read is worked on, and its login says why not.
DeviceSelection select_devices(const std::vector<DeviceRow>& rows, const RunOptions& options);
