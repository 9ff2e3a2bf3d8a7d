#include "foundation/LangTable.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using support::TempDir;

std::string lang_file(const std::string& codes, const std::string& table = "") {
    return "[CharsetType]\nLanguageCode=" + codes + "\n[StringTable]\n" + table;
}

TEST(FindLangIni, ChoosesTheFirstFileInNameOrderThatServesTheLanguage) {
    TempDir dir;
    const std::string en = dir.path() + "/lumora_en.ini";
    EXPECT_EQ(find_lang_ini(dir.path(), "0409"), en);  // no file at all
    EXPECT_EQ(find_lang_ini(dir.path() + "/missing", "0409"), dir.path() + "/missing/lumora_en.ini");

    dir.write("lumora_en.ini", lang_file("0409"));
    EXPECT_EQ(find_lang_ini(dir.path(), "0804"), en);  // the only file, whatever its code

    dir.write("lumora_zh_CN.ini", lang_file("0804,0404"));
    dir.write("lumora_zz.ini", lang_file("0804"));
    dir.write("LUMORA_a.ini", lang_file("0411"));      // the name test minds case
    dir.write("lumora_a.txt", lang_file("0411"));
    std::filesystem::create_directory(dir.path() + "/lumora_dir.ini");
    EXPECT_EQ(find_lang_ini(dir.path(), "0804"), dir.path() + "/lumora_zh_CN.ini");
    EXPECT_EQ(find_lang_ini(dir.path(), "0404"), dir.path() + "/lumora_zh_CN.ini");
    EXPECT_EQ(find_lang_ini(dir.path(), "0409"), en);
    EXPECT_EQ(find_lang_ini(dir.path(), "0411"), en);  // served by no language file

    dir.write("lumora_hk.ini", lang_file("0c04"));      // hex written in lower case
    EXPECT_EQ(find_lang_ini(dir.path(), "0C04"), dir.path() + "/lumora_hk.ini");
    dir.write("lumora_far.ini", lang_file(std::string(127, ',') + "0407"));  // beyond 128
    EXPECT_EQ(find_lang_ini(dir.path(), "0407"), en);
}

TEST(GetLangString, ReadsTheStringTableCutTo127Characters) {
    TempDir dir;
    std::string path = dir.write("lumora_en.ini",
        "[CharsetType]\nIDS_ERROR=not here\n[stringtable]\nids_error = Error \n"
        "IDS_LONG=" + std::string(150, 'x') + "\nIDS_WIDE=" + std::string(126, 'a') + "\xe8\xae\xbe\xe5\xa4\x87\n");
    EXPECT_EQ(get_lang_string(path, "IDS_ERROR"), "Error");
    EXPECT_EQ(get_lang_string(path, "IDS_MISSING"), "");
    EXPECT_EQ(get_lang_string(path, "IDS_LONG"), std::string(127, 'x'));
    EXPECT_EQ(get_lang_string(path, "IDS_WIDE"), std::string(126, 'a') + "\xe8\xae\xbe");
    EXPECT_EQ(get_lang_string(dir.path() + "/none.ini", "IDS_ERROR"), "");
    dir.write("lumora_en.ini", lang_file("0409", "IDS_ERROR=Edited\n"));  // read at each lookup
    EXPECT_EQ(get_lang_string(path, "IDS_ERROR"), "Edited");
}

TEST(LanguageId, MapsPosixLocalesToWindowsIdentifiers) {
    // One row per rule of the lookup, not a copy of its table.
    const std::pair<const char*, const char*> cases[] = {
        {"en_GB", "0809"}, {"zh_TW", "0404"}, {"pt_PT", "0816"},         // language and country
        {"zh_CN.UTF-8", "0804"}, {"de_AT@euro", "0C07"},                   // encoding and modifier ignored
        {"de_BE.UTF-8", "0407"}, {"zh", "0804"},                           // country not listed: the language's
        {"C", "0409"}, {"POSIX", "0409"}, {"C.UTF-8", "0409"}, {"xx_YY", "0409"},
    };
    for (const auto& [locale, id] : cases) EXPECT_EQ(language_id_for_locale(locale), id) << locale;
}

TEST(LanguageId, FirstSetLocaleVariableDecides) {
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string saved[3];
    bool was_set[3];
    for (int i = 0; i < 3; ++i) {
        const char* v = std::getenv(names[i]);
        was_set[i] = v != nullptr;
        saved[i] = v ? v : "";
        ::unsetenv(names[i]);
    }
    EXPECT_EQ(user_language_id(), "0409");
    ::setenv("LANG", "de_DE.UTF-8", 1);
    EXPECT_EQ(user_language_id(), "0407");
    ::setenv("LC_MESSAGES", "ja_JP.UTF-8", 1);
    ::setenv("LC_ALL", "", 1);  // empty counts as unset
    EXPECT_EQ(user_language_id(), "0411");
    ::setenv("LC_ALL", "zh_TW.UTF-8", 1);
    EXPECT_EQ(user_language_id(), "0404");
    for (int i = 0; i < 3; ++i) {
        if (was_set[i]) ::setenv(names[i], saved[i].c_str(), 1);
        else ::unsetenv(names[i]);
    }
}

// An installed program keeps its data in <prefix>/share/fleetset; one run from the build tree
// has it beside itself, and that copy wins.
TEST(DataFiles, BesideTheProgramFirstThenTheInstalledDataDirectory) {
    TempDir prefix;
    const std::string bin = prefix.path() + "/bin";
    const std::string data = prefix.path() + "/share/fleetset";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(data);
    EXPECT_EQ(data_directories(bin), (std::vector<std::string>{bin, data}));

    EXPECT_EQ(find_data_file("logo.bmp", bin), bin + "/logo.bmp");  // nowhere
    EXPECT_EQ(find_lang_directory(bin), bin);
    prefix.write("share/fleetset/logo.bmp", "BM");
    prefix.write("share/fleetset/lumora_zh_CN.ini", lang_file("0804"));
    EXPECT_EQ(find_data_file("logo.bmp", bin), data + "/logo.bmp");
    EXPECT_EQ(find_lang_directory(bin), data);

    prefix.write("bin/logo.bmp", "BM");
    prefix.write("bin/lumora_en.ini", lang_file("0409"));
    EXPECT_EQ(find_data_file("logo.bmp", bin), bin + "/logo.bmp");
    EXPECT_EQ(find_lang_directory(bin), bin);
}

TEST(ProgramDirectory, HoldsThisProgramAndHasNoTrailingSlash) {
    std::string dir = program_directory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(dir + "/lang_tests"));
}

} // namespace
