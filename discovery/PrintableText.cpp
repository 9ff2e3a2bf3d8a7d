#include "discovery/PrintableText.h"

#include <cstdint>

namespace {

void escape_byte(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

// Length of the well-formed UTF-8 sequence at text[at] (shortest form, no surrogates, at most
// U+10FFFF), and its code point; 0 when the bytes there are not one.
size_t utf8_sequence(std::string_view text, size_t at, uint32_t& code_point) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    size_t length;
    uint32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code_point = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code_point = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code_point = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code_point = (code_point << 6) | (byte(i) & 0x3Fu);
    }
    if (code_point < min || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) return 0;
    return length;
}

} // namespace

std::string printable_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            if (byte == '\\')
                out += "\\\\";
            else if (byte < 0x20 || byte == 0x7F)
                escape_byte(out, byte);
            else
                out += static_cast<char>(byte);
            ++at;
            continue;
        }
        uint32_t code_point = 0;
        const size_t length = utf8_sequence(text, at, code_point);
        // C1 controls (U+0080..U+009F) act on terminals as their 8-bit forms do.
        if (length == 0 || code_point <= 0x9F) {
            const size_t escaped = length == 0 ? 1 : length;
            for (size_t i = 0; i < escaped; ++i) escape_byte(out, static_cast<unsigned char>(text[at + i]));
            at += escaped;
            continue;
        }
        out.append(text.substr(at, length));
        at += length;
    }
    return out;
}
