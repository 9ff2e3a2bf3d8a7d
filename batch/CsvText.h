#pragma once
#include <string>
#include <vector>

// The one writer of every CSV fleetset hands out (the window's export, the command line's
// lists, reports, plans and history), as RFC 4180 has it: CRLF line ends, a cell quoted with
// its quotes doubled when it holds a comma, a quote or a line break, so that a device's text
// can never split or shift a row; and a cell that a spreadsheet would run as a formula
// defused. `spreadsheet` puts a UTF-8 BOM first, for files people open in a spreadsheet
// (which otherwise reads the texts in the local code page); pipes to scripts go without.
std::string csv_document(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows,
                         bool spreadsheet);

// A text a spreadsheet would run as a formula ('=', '+', '-', '@', or a tab or CR first)
// with an apostrophe in front, so that it shows as text. A plain number such as -5 stays as
// it is (it is no formula), and so does a mark such as U+2014, whose first byte is above ASCII.
std::string csv_formula_safe(const std::string& value);
