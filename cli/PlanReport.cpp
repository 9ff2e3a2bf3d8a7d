#include "cli/PlanReport.h"

#include "batch/CsvText.h"
#include "batch/JsonText.h"
#include "cli/TextTable.h"

#include <nlohmann/json.hpp>

namespace {

const std::vector<std::string> kHeader = {"mac", "ip", "version", "protocol", "action", "steps", "new_ip"};

std::vector<std::string> cells(const PlanLine& l) { return {l.mac, l.ip, l.version, l.protocol, l.action, l.steps, l.new_ip}; }

} // namespace

std::string format_plan(const std::vector<PlanLine>& lines, ReportFormat format) {
    switch (format) {
    case ReportFormat::Json: {
        auto array = nlohmann::ordered_json::array();
        for (const PlanLine& line : lines) {
            nlohmann::ordered_json object;
            const std::vector<std::string> values = cells(line);
            for (size_t i = 0; i < kHeader.size(); ++i) object[kHeader[i]] = values[i];
            array.push_back(std::move(object));
        }
        return json_document(array);
    }
    case ReportFormat::Csv: {
        std::vector<std::vector<std::string>> rows;
        for (const PlanLine& line : lines) rows.push_back(cells(line));
        return csv_document(kHeader, rows, false);
    }
    case ReportFormat::Table: break;
    }
    std::vector<std::vector<std::string>> rows{kHeader};
    for (const PlanLine& line : lines) rows.push_back(cells(line));
    return format_text_table(rows);
}
