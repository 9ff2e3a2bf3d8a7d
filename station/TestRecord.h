#pragma once
#include "devsdk/ovix_client.h"

#include <cstdint>
#include <optional>
#include <string>

// The record a factory test station leaves for each camera it judged: a small text file
// named after the camera's MAC, which the production line collects. A later verdict for the
// same camera replaces the earlier file.

// Where the test window keeps the records: below the working directory.
inline constexpr const char* kTestRecordDirectory = "test_record";

// The record's text, byte for byte as the production line reads it: seven lines separated by
// "\n\r" (line feed, then carriage return), none after the closing brace, texts unescaped.
// Each text is taken from its record field up to its first NUL or the field's end, so the
// whole text stays far below 512 bytes whatever the camera sent.
std::string format_test_record(const ovix_device_info& info, bool pass);

// The file name of a camera's record: its MAC text with every ':' as '-', then ".txt" (an
// empty MAC gives ".txt"). The MAC comes from the camera, so only texts that can name a
// plain file inside the directory are taken: at most 100 bytes of printable ASCII without
// '/' or '\\', and neither "." nor "..". Anything else (path separators, NUL, control or
// non-ASCII bytes) gives no name.
std::optional<std::string> test_record_file_name(const std::string& mac);

enum class TestRecordResult {
    Written,
    RefusedName,  // the MAC cannot name a file: nothing was written anywhere
    CreateFailed, // the file could not be opened (a missing directory shows up here)
    WriteFailed,  // opened, but its bytes or its close failed; the partial file was removed
};
// The window shows every result but Written as its "cannot create the file" message.

// Creates `directory` when it is missing (one level), then creates or truncates the
// camera's record file there and writes the record.
TestRecordResult write_test_record(const std::string& directory, const ovix_device_info& info, bool pass);

