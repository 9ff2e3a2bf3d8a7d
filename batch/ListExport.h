#pragma once
#include "batch/DeviceTable.h"

#include <string>
#include <vector>

// The batch window's device list as it stands, written out as the report an installer hands
// over after a job.
enum class ListExportFormat { Csv, Json };

// CSV: for spreadsheet programs on a desktop: UTF-8 with a byte order mark, CRLF line ends,
// `headers` (the 13 column titles as the window shows them) plus "checked" as the first line,
// then one line per row with its 13 cells and 1 or 0 for the tick; a list with ONVIF cameras
// adds the protocol and model cells after those 13 (JSON: "protocol", "model", "uuid"). A
// blank cell (one space) is written empty; a cell a spreadsheet would take for a formula gets
// an apostrophe first.
// JSON: an array of objects with fixed English keys; the marks as the words of the command
// line's run report ("ok", "failed", "skipped", "").
std::string export_device_list(const std::vector<DeviceRow>& rows, const std::vector<std::string>& headers,
                               ListExportFormat format);
