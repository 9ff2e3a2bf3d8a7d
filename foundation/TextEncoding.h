#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// The contents of a text file as UTF-8. A UTF-16LE byte-order mark selects a conversion
// from UTF-16LE; a UTF-8 byte-order mark is dropped; anything else is taken as UTF-8 as it
// is. A conversion that meets an invalid sequence keeps the text converted before it.
std::string utf8_from_file_bytes(std::string_view bytes);

// The first `max_chars` characters of a UTF-8 text, counted as code points; a multibyte
// sequence is never split. Stray continuation bytes stay with the character before them.
std::string utf8_prefix(std::string_view text, std::size_t max_chars);
