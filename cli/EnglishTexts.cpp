#include "cli/EnglishTexts.h"

#include "foundation/LangTable.h"

#include <utility>

EnglishTexts::EnglishTexts() : EnglishTexts(program_directory() + "/" + kFileName) {}

EnglishTexts::EnglishTexts(std::string ini_path) : m_ini_path(std::move(ini_path)) {}

std::string EnglishTexts::text(std::string_view key) const {
    auto it = m_cache.find(key);
    if (it == m_cache.end()) {
        std::string value = get_lang_string(m_ini_path, key);
        it = m_cache.emplace(std::string(key), value.empty() ? std::string(key) : std::move(value)).first;
    }
    return it->second;
}

TextLookup EnglishTexts::lookup() const {
    return [this](std::string_view key) { return text(key); };
}
