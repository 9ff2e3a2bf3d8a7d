#pragma once
#include "batch/StatusMarks.h"

#include <map>
#include <string>
#include <string_view>

// The command line speaks English: texts by IDS_ key from the English language file beside
// the program, the same file the windows use. A key the file lacks (or a missing file)
// gives the key itself, so that a message is never blank. Used from one thread.
class EnglishTexts {
public:
    static constexpr const char* kFileName = "lumora_en.ini";

    // The file beside the running program.
    EnglishTexts();
    explicit EnglishTexts(std::string ini_path);

    std::string text(std::string_view key) const;
    // For apply_status; valid while this object lives.
    TextLookup lookup() const;

private:
    std::string m_ini_path;
    mutable std::map<std::string, std::string, std::less<>> m_cache;  // one read of the file per key
};
