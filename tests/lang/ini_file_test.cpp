#include "foundation/IniFile.h"
#include "foundation/TextEncoding.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

namespace {

using support::TempDir;

TEST(IniFile, ReadsValuesAsTheWindowsReaderDoes) {
    struct Case { const char* text; const char* section; const char* key; const char* expected; };
    const Case cases[] = {
        {"[StringTable]\nIDS_Error=x\n", "stringtable", "IDS_ERROR", "x"},  // names ignore case
        {"  [ S ]  \n\t K \t=  two words \t\n", "S", "K", "two words"},       // blanks trimmed
        {"[S]\nK= \" padded \" \n", "S", "K", " padded "},                    // quotes removed
        {"[S]\nK='x'\n", "S", "K", "x"},
        {"[S]\nK=\"x'\n", "S", "K", "\"x'"},                                   // unmatched: kept
        {"[S]\nK=a=b\n", "S", "K", "a=b"},
        {"[S]\r\nK=v\r\nL=w", "S", "L", "w"},                                 // CRLF, no final newline
        {"[S]\nK=v\n[T]\nL=w\n", "S", "L", ""},                               // other section's key
        {"K=v\n[S]\n", "S", "K", ""},                                          // before any section
        {"[S]\nK=one\nk=two\n", "S", "K", "one"},                             // first key wins
        {"[S]\nA=1\n[s]\nK=late\n", "S", "K", ""},                            // first section wins
        {"[S]\n;K=commented\n", "S", "K", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(IniFile::parse(c.text).value(c.section, c.key), c.expected) << c.text;
}

std::string utf16le(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

TEST(IniFile, ReadsUtf8AndUtf16FilesAsUtf8) {
    TempDir dir;
    const std::string expected = "\xe8\xae\xbe\xe5\xa4\x87 \xf0\x9f\x98\x80";  // 设备 and a non-BMP character
    const std::string files[] = {
        dir.write("plain.ini", "[S]\nK=" + expected + "\n"),
        dir.write("bom.ini", "\xEF\xBB\xBF[S]\nK=" + expected + "\n"),  // the mark must not join the name
        dir.write("wide.ini", utf16le(u"[S]\r\nK = \u8bbe\u5907 \U0001F600\r\n")),
    };
    for (const std::string& f : files) EXPECT_EQ(IniFile::load(f).value("s", "k"), expected) << f;
    // A broken UTF-16 sequence ends the text; what came before still reads.
    std::string broken = utf16le(u"[S]\nA=ok\nB=") + std::string("\x00\xD8", 2);
    EXPECT_EQ(IniFile::parse(utf8_from_file_bytes(broken)).value("S", "A"), "ok");
}

TEST(IniFile, CapacityKeepsOneCharacterLessWithoutSplittingASequence) {
    TempDir dir;
    std::string path = dir.write("c.ini", "[S]\nK=" + std::string(200, 'a') + "\nQ=\"bbbbbbbb\"\n");
    EXPECT_EQ(read_ini_string(path, "S", "K", 128), std::string(127, 'a'));
    EXPECT_EQ(read_ini_string(path, "S", "Q", 6), "bbbbb");  // cut after the quotes are gone
    EXPECT_EQ(read_ini_string(dir.path() + "/none.ini", "S", "K", 128), "");

    EXPECT_EQ(utf8_prefix("a\xe8\xae\xbe\xe5\xa4\x87", 2), "a\xe8\xae\xbe");
    EXPECT_EQ(utf8_prefix("\xf0\x9f\x98\x80z", 1), "\xf0\x9f\x98\x80");
    EXPECT_EQ(utf8_prefix("ab", 5), "ab");
}

} // namespace
