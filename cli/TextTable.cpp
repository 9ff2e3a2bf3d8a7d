#include "cli/TextTable.h"

#include "batch/CsvText.h"
#include "batch/JsonText.h"
#include "discovery/PrintableText.h"

#include <algorithm>

std::string format_text_table(const std::vector<std::vector<std::string>>& rows) {
    // Cells often hold device texts; escaped, they cannot drive the terminal or break a row,
    // and the widths are those of what is shown.
    std::vector<std::vector<std::string>> shown;
    shown.reserve(rows.size());
    for (const auto& row : rows) {
        auto& cells = shown.emplace_back();
        for (const auto& cell : row) cells.push_back(printable_text(cell));
    }
    std::vector<size_t> width;
    for (const auto& row : shown) {
        if (width.size() < row.size()) width.resize(row.size(), 0);
        for (size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], row[i].size());
    }
    std::string out;
    for (const auto& row : shown) {
        for (size_t i = 0; i < row.size(); ++i) {
            out += row[i];
            if (i + 1 < row.size()) out += std::string(width[i] - row[i].size() + 2, ' ');
        }
        out += "\n";
    }
    return out;
}

std::string format_rows(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows,
                        ReportFormat format) {
    switch (format) {
    case ReportFormat::Csv: return csv_document(header, rows, false);
    case ReportFormat::Json: {
        auto array = nlohmann::ordered_json::array();
        for (const std::vector<std::string>& row : rows) {
            nlohmann::ordered_json object;
            for (size_t i = 0; i < header.size() && i < row.size(); ++i) object[header[i]] = row[i];
            array.push_back(std::move(object));
        }
        return json_document(array);
    }
    case ReportFormat::Table: break;
    }
    std::vector<std::vector<std::string>> table{header};
    table.insert(table.end(), rows.begin(), rows.end());
    return format_text_table(table);
}
