#include "foundation/IniFile.h"
#include "foundation/LangTable.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

namespace {

const std::string kSourceDir = FLEETSET_SOURCE_DIR;
const std::string kLangDir = kSourceDir + "/app/lang";
const IniFile kEn = IniFile::load(kLangDir + "/lumora_en.ini");
const IniFile kZh = IniFile::load(kLangDir + "/lumora_zh_CN.ini");

std::set<std::string> table_keys(const IniFile& ini) {
    std::vector<std::string> keys = ini.keys("StringTable");
    return {keys.begin(), keys.end()};
}

// Every key named in a string literal of the window code, and the numbered keys. A literal
// ending in "_" is the stem of numbered keys, not a key.
std::set<std::string> keys_used_by_windows() {
    static const std::regex literal("\"([IU]DS_[A-Z0-9_]*[A-Z0-9])\"");
    std::set<std::string> keys;
    for (int i = 0; i <= 20; ++i) keys.insert("IDS_LANGUAGE_" + std::to_string(i));
    for (int i = 0; i <= 3; ++i) keys.insert("IDS_TIME_FORMAT_" + std::to_string(i));
    for (const char* area : {"/ui", "/app"}) {
        if (!std::filesystem::exists(kSourceDir + area)) continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(kSourceDir + area)) {
            std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h") continue;
            const std::string s = support::file_text(entry.path().string());
            for (std::sregex_iterator m(s.begin(), s.end(), literal), end; m != end; ++m) keys.insert((*m)[1]);
        }
    }
    return keys;
}

std::string format_tokens(const std::string& text) {
    static const std::regex token("%[-+ #0-9.]*[a-zA-Z%]");
    std::string tokens;
    for (std::sregex_iterator m(text.begin(), text.end(), token), end; m != end; ++m) tokens += m->str();
    return tokens;
}

TEST(ShippedLanguageFiles, HoldTheSameKeysAndEveryKeyTheWindowsUse) {
    std::set<std::string> en = table_keys(kEn);
    EXPECT_EQ(en, table_keys(kZh));
    for (const std::string& key : keys_used_by_windows()) EXPECT_TRUE(en.count(key)) << key;
}

TEST(ShippedLanguageFiles, TextsAreSetFitAndKeepTheirFormatTokens) {
    for (const std::string& key : table_keys(kEn)) {
        for (const IniFile* file : {&kEn, &kZh}) {
            std::string text = file->value("StringTable", key);
            size_t chars = 0;
            for (char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
            EXPECT_TRUE(chars > 0 && chars <= 127) << key << ": " << chars << " characters";
        }
        // A translation must not add or lose a placeholder of a text used as a format.
        EXPECT_EQ(format_tokens(kEn.value("StringTable", key)), format_tokens(kZh.value("StringTable", key))) << key;
    }
}

TEST(ShippedLanguageFiles, EachServesItsLanguageAndEnglishTheRest) {
    const std::pair<const char*, const char*> cases[] = {
        {"0409", "lumora_en.ini"}, {"0809", "lumora_en.ini"}, {"0407", "lumora_en.ini"},
        {"0804", "lumora_zh_CN.ini"}, {"1004", "lumora_zh_CN.ini"},
    };
    for (const auto& [id, file] : cases) EXPECT_EQ(find_lang_ini(kLangDir, id), kLangDir + "/" + file) << id;
}

} // namespace
