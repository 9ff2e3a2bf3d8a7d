#pragma once
#include <cstdint>
#include <string>

// The firmware version check of the factory test: the operator types the version the line
// expects, and a camera whose version differs is stopped before its live picture.

// Splits "1.2.3-7" into four numbers. The outputs must be zeroed by the caller: a field the
// text does not supply leaves its number as it is. Separators are '.' and '-'; a field keeps
// at most its first 27 characters and converts like decimal atoi (empty or non-numeric
// gives 0, a sign is taken, values beyond int are clamped). A null text leaves all four.
void parse_version(const char* text, uint32_t& v0, uint32_t& v1, uint32_t& v2, uint32_t& v3);

enum class VersionVerdict {
    Normal,   // IDS_VERSION_NORMAL
    TooNew,   // IDS_VERSION_ERROR: some expected number is above the camera's
    TooOld,   // UDS_INSERT_VERSION_LOW: none above, some below
    NoLine,   // numbers equal but the texts differ: no line, the session goes on
};

// Compares the first three numbers one by one (the fourth never counts); when they match,
// the expected numbers formatted "%d.%d.%d" must equal the camera's text over as many
// characters as the expected text has, so "01.2.3" passes against "1.2.3" and "1.2.3"
// against "1.2.3.7".
VersionVerdict check_version(const std::string& expected, const std::string& device);

// The result line's key; nullptr for NoLine.
const char* version_line_key(VersionVerdict verdict);

// The expected version must have at least 5 bytes ("1.2.0") before a session may start.
bool version_text_long_enough(const std::string& expected);
