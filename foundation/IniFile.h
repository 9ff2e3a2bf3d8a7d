#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// An INI file read the way the Windows private-profile reader reads it, so that language
// files written for that reader give the same texts here:
// - "[name]" starts a section; "key=value" lines belong to the last section started;
//   lines without "=" and lines starting with ";" are skipped;
// - section and key names match without regard to (ASCII) case; the first section of a
//   name and the first key of a name in it win;
// - a value is the text after the first "=", blanks removed at both ends, and one pair of
//   matching surrounding quotes (" or ') removed.
// The file may be UTF-8 (with or without byte-order mark) or UTF-16LE with byte-order mark;
// names and values are UTF-8.
class IniFile {
public:
    // An unreadable file gives an empty IniFile.
    static IniFile load(const std::string& path);
    static IniFile parse(std::string_view utf8_text);

    // The whole value; empty when the section or key is missing.
    std::string value(std::string_view section, std::string_view key) const;

    // The key names of a section in file order (first section of that name).
    std::vector<std::string> keys(std::string_view section) const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    const Section* find_section(std::string_view name) const;

    std::vector<Section> m_sections;
};

// Reads a value like the Windows private-profile reader with a buffer of `capacity`
// characters: at most capacity - 1 characters of the value, empty when missing.
std::string read_ini_string(const std::string& path, std::string_view section, std::string_view key,
                            std::size_t capacity);
