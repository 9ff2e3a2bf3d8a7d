#include "batch/CsvText.h"

#include <string_view>

std::string csv_cell(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string csv_line(const std::vector<std::string>& cells, const char* line_end) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) line += (i ? "," : "") + csv_cell(cells[i]);
    return line + line_end;
}

std::string csv_formula_safe(const std::string& value) {
    if (value.empty() || std::string_view("=+-@\t\r").find(value.front()) == std::string_view::npos) return value;
    return "'" + value;
}
