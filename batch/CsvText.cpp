#include "batch/CsvText.h"

#include <cctype>
#include <string_view>

namespace {

std::string csv_cell(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void append_line(std::string& out, const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) out += (i ? "," : "") + csv_cell(csv_formula_safe(cells[i]));
    out += "\r\n";
}

// An optional sign, digits, at most one point: what a spreadsheet reads as a number.
bool is_plain_number(const std::string& value) {
    size_t i = value.front() == '-' || value.front() == '+' ? 1 : 0;
    bool digits = false, point = false;
    for (; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (std::isdigit(c)) digits = true;
        else if (c == '.' && !point) point = true;
        else return false;
    }
    return digits;
}

} // namespace

std::string csv_formula_safe(const std::string& value) {
    if (value.empty() || std::string_view("=+-@\t\r").find(value.front()) == std::string_view::npos) return value;
    if (is_plain_number(value)) return value;
    return "'" + value;
}

std::string csv_document(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows,
                         bool spreadsheet) {
    std::string out = spreadsheet ? "\xEF\xBB\xBF" : "";
    append_line(out, header);
    for (const std::vector<std::string>& row : rows) append_line(out, row);
    return out;
}
