#pragma once
#include "batch/DeviceTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// What a REPORT_STATUS code does to its device's row: the window and the command line show
// the same marks and messages for the same reports.

// Marks of the step columns 6 to 11, in UTF-8.
inline constexpr const char* kMarkFailed = "\xC3\x97";       // U+00D7
inline constexpr const char* kMarkDone = "\xE2\x88\x9A";     // U+221A
inline constexpr const char* kMarkSkipped = "\xE2\x80\x94";  // U+2014, the step was not requested
inline constexpr const char* kMarkUnsupported = "n/a";      // the device cannot do the step
inline constexpr const char* kMarkBlank = " ";

// The English names of the step columns 6 to 11, the keys of the reports and exports.
inline constexpr std::array<const char*, kMarkColumns> kStepNames = {"change_ip", "upgrade", "logo",
                                                                     "command",   "time_sync", "settings"};

// The word of a mark cell in reports: "ok", "failed", "skipped" (not requested),
// "unsupported", or "" for a blank cell or the no-version note the list puts in the upgrade
// column.
std::string step_word(const std::string& mark);

struct StatusEffect {
    int column = -1;                     // mark column 6..11; -1: no mark
    const char* mark = nullptr;          // set with a column
    const char* message_key = nullptr;   // null: the message column keeps its text
    bool clears_row = false;             // columns 6 to 12 each become one space
};

// The effect of one status code; unknown codes (5, and kFirstUnknownStatus on) have none.
StatusEffect status_effect(uint32_t code);

// The text of an IDS_ key.
using TextLookup = std::function<std::string(std::string_view key)>;

// Applies the code to the row. A message key whose text is empty leaves the message as it
// is, like a code without a key. Returns true when something was written.
bool apply_status(DeviceRow& row, uint32_t code, const TextLookup& text);
// The same on a row of the table, writing only the columns the code touches, so that a
// discovery update of the same row meanwhile is kept. False for a row outside the table.
bool apply_status(DeviceTable& table, size_t row, uint32_t code, const TextLookup& text);
