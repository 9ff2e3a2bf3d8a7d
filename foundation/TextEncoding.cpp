#include "foundation/TextEncoding.h"

#include <cerrno>
#include <iconv.h>

namespace {

std::string utf8_from_utf16le(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};

    std::string out;
    char* in = const_cast<char*>(bytes.data());
    size_t in_left = bytes.size();
    char chunk[4096];
    while (in_left > 0) {
        char* dst = chunk;
        size_t dst_left = sizeof chunk;
        size_t rc = iconv(cd, &in, &in_left, &dst, &dst_left);
        out.append(chunk, static_cast<size_t>(dst - chunk));
        // E2BIG only means the chunk is full; anything else (a lone surrogate, a
        // trailing odd byte) ends the text there.
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) break;
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::string utf8_from_file_bytes(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        return utf8_from_utf16le(bytes.substr(2));
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return std::string(bytes.substr(3));
    return std::string(bytes);
}

std::string utf8_prefix(std::string_view text, std::size_t max_chars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (continuation) continue;
        if (chars == max_chars) return std::string(text.substr(0, i));
        ++chars;
    }
    return std::string(text);
}
