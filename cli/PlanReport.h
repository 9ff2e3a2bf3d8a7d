#pragma once
#include "cli/RunOptions.h"

#include <string>
#include <vector>

// One line of a dry run's plan: a device the job would work on, or why it would not.
struct PlanLine {
    std::string mac, ip, version;
    std::string protocol;  // how the job would reach it
    std::string action;    // "run", "up to date", "no version", "not found"
    std::string steps;     // the step flags, comma separated (for "run")
    std::string new_ip;    // the address it would be given, if any
};

// The plan in the report's format; JSON keys are the fields' names.
std::string format_plan(const std::vector<PlanLine>& lines, ReportFormat format);
