#pragma once
#include "foundation/AtomicFile.h"

#include <string>

// What `--summary-file` holds: the counts of one run, its exit code, start and end, for a
// program that runs fleetset-cli (an Ansible module) and must not parse the report's lines.
struct RunSummary {
    bool dry_run = false;
    int devices = 0;      // devices in the report (or in the plan, for a dry run)
    int done = 0;         // ended with no failed step
    int failed = 0;       // a failed step, no end report, or stopped
    int unsupported = 0;  // listed without a version: the tool cannot work on them (also failed)
    int not_found = 0;    // named but not found
    int up_to_date = 0;   // left out by --only-outdated
    int changed = 0;      // devices with at least one step done
    int planned = 0;      // a dry run: devices the job would work on
    int exit_code = 0;
    std::string started, ended;  // UTC, YYYY-MM-DDTHH:MM:SSZ
};

std::string summary_json(const RunSummary& summary);

// Written with write_file_atomically: a reader sees the old file or the whole new one.

