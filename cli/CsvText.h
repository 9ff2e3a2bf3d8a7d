#pragma once
#include <string>
#include <vector>

// One CSV cell: quoted, with its quotes doubled, when it holds a comma, a quote or a line
// break, so that a device's text can never split or shift a row.
std::string csv_cell(const std::string& value);

// One CSV line of cells, ending in "\n".
std::string csv_line(const std::vector<std::string>& cells);
