#pragma once
#include "cli/RunOptions.h"  // ReportFormat
#include "history/JobHistory.h"

#include <string>
#include <vector>

namespace CLI { class App; }

struct HistoryOptions {
    std::string mac;
    std::string since;  // YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS[Z], UTC
    ReportFormat format = ReportFormat::Table;
    std::string history_file;  // empty: default_history_path()
};

// Adds "history": what was done to which camera, when, and with what result.
void add_history_command(CLI::App& app, int& exit_code);

// The time text a --since value stands for in the history's own form; empty when the value is
// not a date or date and time.
std::string history_since(const std::string& text);

std::string format_history(const std::vector<HistoryRow>& rows, ReportFormat format);
