#include "cli/PlanReport.h"

#include "cli/TextTable.h"


namespace {

const std::vector<std::string> kHeader = {"mac", "ip", "version", "protocol", "action", "steps", "new_ip"};

std::vector<std::string> cells(const PlanLine& l) { return {l.mac, l.ip, l.version, l.protocol, l.action, l.steps, l.new_ip}; }

} // namespace

std::string format_plan(const std::vector<PlanLine>& lines, ReportFormat format) {
    std::vector<std::vector<std::string>> rows;
    for (const PlanLine& line : lines) rows.push_back(cells(line));
    return format_rows(kHeader, rows, format);
}
