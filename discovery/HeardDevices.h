#pragma once
#include "discovery/DiscoveryRecords.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <list>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

// The facade's device table: one record per MAC, in the order first heard, with when each was
// last heard. Anyone on the camera LAN can send replies, so the table is bounded; the bound
// lies far above any real fleet, and only a flood of made-up MACs reaches it.
//
// What tells a made-up entry from a real camera is that a camera answers every request sweep:
// an entry not heard since the latest sweep began has stopped answering (or never answered at
// all). A full table makes room for a newcomer by dropping such a stale entry: one heard only
// once before one heard again (a real camera that misses a sweep while it reboots has been
// heard more than once), then the one heard longest ago. When every entry has answered the
// latest sweep, the newcomer is refused instead: the cameras answering a sweep arrive first
// after it, so a flood can neither push them out nor, between two sweeps, get more than the
// bound's worth of new MACs reported. The table is not thread-safe; the facade guards it.
class HeardDevices {
public:
    explicit HeardDevices(size_t limit);

    enum class Merge { New, Changed, Unchanged, Refused };
    // heard_ms: when the reply was received; sweep_ms: when the latest request sweep began,
    // negative before the first one (then nothing is stale).
    Merge merge(const DEV_INFO& record, int64_t heard_ms, int64_t sweep_ms);
    void clear();

    size_t size() const { return m_entries.size(); }
    size_t limit() const { return m_limit; }
    // Null when the MAC is not in the table.
    const DEV_INFO* find(std::string_view mac, int64_t* heard_ms = nullptr) const;
    // A record's MAC as the table's key: the text up to its NUL, or all 32 bytes without one.
    static std::string key_of(const char (&mac)[kDiscoveryTextSize]) {
        return std::string(mac, strnlen(mac, kDiscoveryTextSize));
    }
    // Appends a copy of every record in table order.
    void append_to(std::vector<DEV_INFO>& list) const;

    uint64_t dropped() const { return m_dropped; }  // stale entries that made room
    uint64_t refused() const { return m_refused; }  // newcomers turned away

private:
    struct Entry {
        DEV_INFO record;
        int64_t heard_ms;
        bool heard_again;
        uint64_t serial;  // unique, so that entries heard in the same ms still sort apart
    };
    using Entries = std::list<Entry>;
    // Drop order: heard once before heard again, then oldest heard first.
    using Age = std::tuple<bool, int64_t, uint64_t>;
    static Age age_of(const Entry& entry) { return {entry.heard_again, entry.heard_ms, entry.serial}; }

    Entries::iterator stale_entry(int64_t sweep_ms);
    void erase(Entries::iterator entry);

    size_t m_limit;
    Entries m_entries;
    std::unordered_map<std::string, Entries::iterator> m_by_mac;
    std::map<Age, Entries::iterator> m_by_age;
    uint64_t m_next_serial = 0;
    uint64_t m_dropped = 0;
    uint64_t m_refused = 0;
};
