#include "sim/RequestGate.h"

#include <algorithm>
#include <string>
#include <tinyxml.h>

bool is_well_formed_request(std::string_view text, const char* element) {
    if (text.empty()) return false;
    const std::string terminated(text);  // the parser reads up to a NUL
    TiXmlDocument doc;
    doc.Parse(terminated.c_str());
    if (doc.Error()) return false;
    const TiXmlElement* message = doc.FirstChildElement("Message");
    const TiXmlElement* header = message ? message->FirstChildElement("Header") : nullptr;
    return header && header->FirstChildElement(element);
}

bool RequestBudget::take(uint32_t destination, int64_t now_ms) {
    auto found = m_ready_at.find(destination);
    if (found == m_ready_at.end()) {
        if (m_ready_at.size() >= kMaxTracked)
            std::erase_if(m_ready_at, [now_ms](const auto& entry) { return entry.second <= now_ms; });
        if (m_ready_at.size() >= kMaxTracked) return false;
        found = m_ready_at.emplace(destination, now_ms).first;
    }
    const int64_t ready_at = std::max(found->second, now_ms);
    if (ready_at - now_ms > (kBurst - 1) * kRefillMs) return false;
    found->second = ready_at + kRefillMs;
    return true;
}
