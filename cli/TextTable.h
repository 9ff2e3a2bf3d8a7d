#pragma once
#include <string>
#include <vector>

// Rows of cells as plain text in columns, each as wide as its widest cell plus two spaces;
// control characters in cells are shown escaped (printable_text).
std::string format_text_table(const std::vector<std::vector<std::string>>& rows);

enum class ReportFormat { Table, Json, Csv };

// Rows of text under a header in the chosen format: the aligned table, CSV, or (where a
// caller has no typed JSON of its own) an array of objects keyed by the header.
std::string format_rows(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows,
                        ReportFormat format);
