#include "foundation/IniFile.h"

#include "foundation/TextEncoding.h"

#include <fstream>
#include <iterator>

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view trim(std::string_view s) {
    size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    size_t last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

} // namespace

IniFile IniFile::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parse(utf8_from_file_bytes(bytes));
}

IniFile IniFile::parse(std::string_view text) {
    IniFile ini;
    Section* current = nullptr;  // entries before the first section belong to none
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = trim(text.substr(pos, end - pos));
        pos = end + 1;

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            std::string_view name = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            ini.m_sections.push_back(Section{std::string(trim(name)), {}});
            current = &ini.m_sections.back();
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || current == nullptr) continue;
        current->entries.emplace_back(std::string(trim(line.substr(0, eq))),
                                      std::string(unquote(trim(line.substr(eq + 1)))));
    }
    return ini;
}

const IniFile::Section* IniFile::find_section(std::string_view name) const {
    for (const Section& s : m_sections)
        if (same_name(s.name, name)) return &s;
    return nullptr;
}

std::string IniFile::value(std::string_view section, std::string_view key) const {
    const Section* s = find_section(section);
    if (s == nullptr) return {};
    for (const auto& [k, v] : s->entries)
        if (same_name(k, key)) return v;
    return {};
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> names;
    if (const Section* s = find_section(section))
        for (const auto& entry : s->entries) names.push_back(entry.first);
    return names;
}

std::string read_ini_string(const std::string& path, std::string_view section, std::string_view key,
                            std::size_t capacity) {
    if (capacity == 0) return {};
    return utf8_prefix(IniFile::load(path).value(section, key), capacity - 1);
}
