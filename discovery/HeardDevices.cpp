#include "discovery/HeardDevices.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

// Every byte that carries a field; the two trailing padding bytes are not compared, since
// copying a record need not preserve them.
constexpr size_t kRecordBytes = offsetof(DEV_INFO, http_port) + sizeof(DEV_INFO::http_port);

} // namespace

HeardDevices::HeardDevices(size_t limit) : m_limit(std::max<size_t>(limit, 1)) {}

HeardDevices::Merge HeardDevices::merge(const DEV_INFO& record, int64_t heard_ms, int64_t sweep_ms) {
    const std::string key = key_of(record.mac_address);
    if (auto found = m_by_mac.find(key); found != m_by_mac.end()) {
        Entry& entry = *found->second;
        m_by_age.erase(age_of(entry));
        entry.heard_ms = std::max(entry.heard_ms, heard_ms);
        entry.heard_again = true;
        m_by_age.emplace(age_of(entry), found->second);
        if (std::memcmp(&entry.record, &record, kRecordBytes) == 0) return Merge::Unchanged;
        entry.record = record;
        return Merge::Changed;
    }
    if (m_entries.size() >= m_limit) {
        const auto stale = stale_entry(sweep_ms);
        if (stale == m_entries.end()) {
            ++m_refused;
            return Merge::Refused;
        }
        erase(stale);
        ++m_dropped;
    }
    m_entries.push_back(Entry{record, heard_ms, false, m_next_serial++});
    const auto added = std::prev(m_entries.end());
    m_by_mac.emplace(key, added);
    m_by_age.emplace(age_of(*added), added);
    return Merge::New;
}

HeardDevices::Entries::iterator HeardDevices::stale_entry(int64_t sweep_ms) {
    for (bool heard_again : {false, true}) {
        const auto first = m_by_age.lower_bound(Age{heard_again, std::numeric_limits<int64_t>::min(), 0});
        if (first == m_by_age.end() || std::get<0>(first->first) != heard_again) continue;
        if (std::get<1>(first->first) < sweep_ms) return first->second;
    }
    return m_entries.end();
}

void HeardDevices::erase(Entries::iterator entry) {
    m_by_age.erase(age_of(*entry));
    m_by_mac.erase(key_of(entry->record.mac_address));
    m_entries.erase(entry);
}

void HeardDevices::clear() {
    m_by_age.clear();
    m_by_mac.clear();
    m_entries.clear();
}

const DEV_INFO* HeardDevices::find(std::string_view mac, int64_t* heard_ms) const {
    const auto found = m_by_mac.find(std::string(mac));
    if (found == m_by_mac.end()) return nullptr;
    if (heard_ms) *heard_ms = found->second->heard_ms;
    return &found->second->record;
}

void HeardDevices::append_to(std::vector<DEV_INFO>& list) const {
    list.reserve(list.size() + m_entries.size());
    for (const Entry& entry : m_entries) list.push_back(entry.record);
}
