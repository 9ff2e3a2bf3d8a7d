#include "foundation/LangTable.h"

#include "foundation/IniFile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kCodeCapacity = 128;
constexpr std::size_t kTextCapacity = 128;
constexpr const char* kDefaultId = "0409";

// An installation's data directory seen from its program directory; the build sets it from
// its install directories.
#ifdef FLEETSET_DATA_FROM_PROGRAM
constexpr const char* kDataFromProgram = FLEETSET_DATA_FROM_PROGRAM;
#else
constexpr const char* kDataFromProgram = "../share/fleetset";
#endif

struct LocaleId {
    const char* language;  // ISO 639 code as in the POSIX locale name
    const char* country;   // ISO 3166 code
    const char* id;        // Windows language identifier, upper-case hex
};

// The first row of each language is its primary: a country missing here falls back to it.
constexpr LocaleId kLocaleIds[] = {
    {"en", "US", "0409"}, {"en", "GB", "0809"}, {"en", "AU", "0C09"}, {"en", "CA", "1009"},
    {"en", "NZ", "1409"}, {"en", "IE", "1809"}, {"en", "ZA", "1C09"}, {"en", "IN", "4009"},
    {"en", "SG", "4809"},
    {"zh", "CN", "0804"}, {"zh", "TW", "0404"}, {"zh", "HK", "0C04"}, {"zh", "SG", "1004"},
    {"zh", "MO", "1404"},
    {"ja", "JP", "0411"}, {"ko", "KR", "0412"},
    {"de", "DE", "0407"}, {"de", "CH", "0807"}, {"de", "AT", "0C07"}, {"de", "LU", "1007"},
    {"de", "LI", "1407"},
    {"fr", "FR", "040C"}, {"fr", "BE", "080C"}, {"fr", "CA", "0C0C"}, {"fr", "CH", "100C"},
    {"fr", "LU", "140C"},
    {"es", "ES", "0C0A"}, {"es", "MX", "080A"}, {"es", "CO", "240A"}, {"es", "AR", "2C0A"},
    {"es", "CL", "340A"}, {"es", "US", "540A"},
    {"it", "IT", "0410"}, {"it", "CH", "0810"},
    {"pt", "BR", "0416"}, {"pt", "PT", "0816"},
    {"ru", "RU", "0419"}, {"nl", "NL", "0413"}, {"nl", "BE", "0813"},
    {"pl", "PL", "0415"}, {"tr", "TR", "041F"},
    {"ar", "SA", "0401"}, {"ar", "EG", "0C01"}, {"ar", "AE", "3801"},
    {"he", "IL", "040D"}, {"th", "TH", "041E"}, {"vi", "VN", "042A"}, {"id", "ID", "0421"},
    {"cs", "CZ", "0405"}, {"sv", "SE", "041D"}, {"sv", "FI", "081D"}, {"uk", "UA", "0422"},
    {"da", "DK", "0406"}, {"fi", "FI", "040B"}, {"nb", "NO", "0414"}, {"nn", "NO", "0814"},
    {"el", "GR", "0408"}, {"hu", "HU", "040E"}, {"ro", "RO", "0418"}, {"sk", "SK", "041B"},
    {"sl", "SI", "0424"}, {"hr", "HR", "041A"}, {"bg", "BG", "0402"}, {"lt", "LT", "0427"},
    {"lv", "LV", "0426"}, {"et", "EE", "0425"}, {"fa", "IR", "0429"}, {"hi", "IN", "0439"},
    {"ms", "MY", "043E"}, {"ca", "ES", "0403"},
};

char ascii_upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Hex digits written by hand may be lower case ("0c04"): compare without regard to case.
bool contains_id(std::string_view codes, std::string_view id) {
    auto it = std::search(codes.begin(), codes.end(), id.begin(), id.end(),
                          [](char a, char b) { return ascii_upper(a) == ascii_upper(b); });
    return it != codes.end();
}

// The language files in `directory` by name. The directory's own order differs between file
// systems: sorted, the first matching file is the same everywhere.
std::vector<std::string> lang_file_names(const std::string& directory) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code type_ec;
        if (!it->is_regular_file(type_ec)) continue;
        std::string name = it->path().filename().string();
        if (name.find("lumora") != std::string::npos && name.find(".ini") != std::string::npos)
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

std::string language_id_for_locale(std::string_view locale) {
    // language[_COUNTRY][.codeset][@modifier]
    std::string_view name = locale.substr(0, locale.find_first_of(".@"));
    size_t underscore = name.find('_');
    std::string_view language = name.substr(0, underscore);
    std::string_view country = underscore == std::string_view::npos ? std::string_view{} : name.substr(underscore + 1);

    const LocaleId* primary = nullptr;
    for (const LocaleId& row : kLocaleIds) {
        if (language != row.language) continue;
        if (country == row.country) return row.id;
        if (primary == nullptr) primary = &row;
    }
    // "C", "POSIX" and languages without a row are served like English (United States).
    return primary ? primary->id : kDefaultId;
}

std::string user_language_id() {
    // The order in which POSIX lets these variables decide the messages' language; an empty
    // value counts as unset.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return language_id_for_locale(value);
    }
    return kDefaultId;
}

std::string program_directory() {
    std::string path(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0) return ".";
    path.resize(static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::vector<std::string> data_directories(const std::string& program_dir) {
    const std::filesystem::path installed = std::filesystem::path(program_dir) / kDataFromProgram;
    return {program_dir, installed.lexically_normal().string()};
}

std::string find_data_file(std::string_view name, const std::string& program_dir) {
    for (const std::string& directory : data_directories(program_dir)) {
        std::string path = directory + "/" + std::string(name);
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) return path;
    }
    return program_dir + "/" + std::string(name);
}

std::string find_lang_directory(const std::string& program_dir) {
    for (const std::string& directory : data_directories(program_dir))
        if (!lang_file_names(directory).empty()) return directory;
    return program_dir;
}

std::string find_lang_ini(const std::string& directory, const std::string& language_id) {
    for (const std::string& name : lang_file_names(directory)) {
        std::string path = directory + "/" + name;
        if (contains_id(read_ini_string(path, "CharsetType", "LanguageCode", kCodeCapacity), language_id))
            return path;
    }
    return directory + "/lumora_en.ini";
}

std::string get_lang_string(const std::string& ini_path, std::string_view key) {
    return read_ini_string(ini_path, "StringTable", key, kTextCapacity);
}
