#pragma once
#include <string>
#include <vector>

// Rows of cells as plain text in columns, each as wide as its widest cell plus two spaces;
// control characters in cells are shown escaped (printable_text).
std::string format_text_table(const std::vector<std::vector<std::string>>& rows);
