#pragma once
#include <string>
#include <string_view>
#include <vector>

// Texts by IDS_ key from the language file beside the program. A language file is an INI
// file whose name contains "lumora" and ".ini"; section CharsetType, key LanguageCode lists
// the language identifiers it serves, section StringTable holds the texts. Nothing fails
// loudly: a missing file, section or key gives an empty text.

// The user's language as the four hexadecimal digits of a Windows language identifier
// ("0409" English (United States), "0804" Chinese (Simplified), ...), from the POSIX locale.
// Reads LC_ALL, LC_MESSAGES and LANG in that order; unset or empty everywhere gives "0409".
std::string user_language_id();

// The identifier for one POSIX locale name ("de_AT.UTF-8"): its language and country, else
// the language's main country, else "0409" (also for "C" and "POSIX").
std::string language_id_for_locale(std::string_view locale);

// The directory of the running executable, without a trailing separator.
std::string program_directory();

// Where a program's data files (language files, logo) are looked for, in order: beside the
// program, as in the build tree, then the data directory of an installation
// (<prefix>/share/fleetset for a program in <prefix>/bin), found from the program's own place
// so that a moved installation still finds it.
std::vector<std::string> data_directories(const std::string& program_dir = program_directory());

// The path of the data file `name` in the first of those directories that holds it; else
// beside the program, whether or not it exists there.
std::string find_data_file(std::string_view name, const std::string& program_dir = program_directory());

// The first of those directories that holds a language file; else the program's directory.
std::string find_lang_directory(const std::string& program_dir = program_directory());

// Chooses the language file in `directory` for `language_id`: the first file in listing
// order (sorted by name) whose LanguageCode, read with a capacity of 128, contains the
// identifier (hex digits in either case), else directory + "/lumora_en.ini" whether or not
// it exists.
std::string find_lang_ini(const std::string& directory, const std::string& language_id);

// The text of `key` in section StringTable of the file at `ini_path`, cut to 127 characters;
// read from the file at each call so that an edited file shows at the next lookup.
std::string get_lang_string(const std::string& ini_path, std::string_view key);
