// Language files as the windows read them: the byte-order marks and UTF-16LE conversion, the
// INI reader, the character-bounded cut of a text, and the same file read from disk.
#include "foundation/IniFile.h"
#include "foundation/LangTable.h"
#include "foundation/TextEncoding.h"
#include "tests/fuzz/FuzzSupport.h"

#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace {

int g_file = -1;
std::string g_path;

bool continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Well-formed UTF-8 in the sense of the standard: shortest forms, no surrogates, at most U+10FFFF.
bool valid_utf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        size_t n = 0;
        uint32_t cp = 0;
        if (b < 0x80) { ++i; continue; }
        if (b >= 0xC2 && b <= 0xDF) { n = 1; cp = b & 0x1F; }
        else if (b >= 0xE0 && b <= 0xEF) { n = 2; cp = b & 0x0F; }
        else if (b >= 0xF0 && b <= 0xF4) { n = 3; cp = b & 0x07; }
        else return false;
        if (text.size() - i <= n) return false;
        for (size_t k = 1; k <= n; ++k) {
            if (!continuation(text[i + k])) return false;
            cp = cp << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

size_t characters(std::string_view text) {
    size_t count = 0;
    for (char c : text) count += continuation(c) ? 0 : 1;
    return count;
}

void check_prefix(std::string_view text, size_t max_chars) {
    const std::string cut = utf8_prefix(text, max_chars);
    FUZZ_CHECK(text.substr(0, cut.size()) == cut);
    FUZZ_CHECK(characters(cut) <= max_chars);
    if (cut.size() < text.size()) {
        FUZZ_CHECK(!continuation(text[cut.size()]));
        FUZZ_CHECK(characters(cut) == max_chars);
    }
}

void check_entries(const IniFile& ini, std::string_view section) {
    for (const std::string& key : ini.keys(section)) {
        FUZZ_CHECK(key.find('\n') == std::string::npos && key.find('=') == std::string::npos);
        FUZZ_CHECK(key.empty() || (key.front() != ';' && key.front() != '['));
        FUZZ_CHECK(key.empty() || (std::string_view(" \t\r").find(key.front()) == std::string_view::npos &&
                                   std::string_view(" \t\r").find(key.back()) == std::string_view::npos));
        FUZZ_CHECK(ini.value(section, key).find('\n') == std::string::npos);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_file = ::memfd_create("lang-file", 0);
    FUZZ_CHECK(g_file >= 0);
    g_path = "/proc/self/fd/" + std::to_string(g_file);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = utf8_from_file_bytes(bytes);
    if (bytes.starts_with("\xFF\xFE"))
        FUZZ_CHECK(valid_utf8(text));
    else if (bytes.starts_with("\xEF\xBB\xBF"))
        FUZZ_CHECK(text == bytes.substr(3));
    else
        FUZZ_CHECK(text == bytes);

    const IniFile ini = IniFile::parse(text);
    check_entries(ini, "StringTable");
    check_entries(ini, "CharsetType");
    for (size_t max_chars : {size_t{0}, size_t{1}, size_t{7}, size_t{127}}) check_prefix(text, max_chars);

    const std::string id = language_id_for_locale(bytes);
    FUZZ_CHECK(id.size() == 4 && id.find_first_not_of("0123456789ABCDEF") == std::string::npos);

    // The same bytes as the file the windows read at each lookup.
    FUZZ_CHECK(::ftruncate(g_file, 0) == 0);
    FUZZ_CHECK(::pwrite(g_file, data, size, 0) == static_cast<ssize_t>(size));
    const std::vector<std::string> keys = ini.keys("StringTable");
    const std::string key = keys.empty() ? "IDS_CUSTOM_TOOL" : keys.back();
    const std::string from_file = get_lang_string(g_path, key);
    FUZZ_CHECK(from_file == utf8_prefix(ini.value("StringTable", key), 127));
    FUZZ_CHECK(characters(from_file) <= 127);
    return 0;
}
