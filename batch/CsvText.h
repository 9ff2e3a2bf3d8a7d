#pragma once
#include <string>
#include <vector>

// One CSV cell: quoted, with its quotes doubled, when it holds a comma, a quote or a line
// break, so that a device's text can never split or shift a row.
std::string csv_cell(const std::string& value);

// One CSV line of cells, ending in `line_end`.
std::string csv_line(const std::vector<std::string>& cells, const char* line_end = "\n");

// A text a spreadsheet would run as a formula ('=', '+', '-', '@', or a tab or CR first)
// with an apostrophe in front, so that it shows as text. Only the first byte counts: a mark
// such as U+2014 starts with a byte above ASCII and stays as it is.
std::string csv_formula_safe(const std::string& value);
