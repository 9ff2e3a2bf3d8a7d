#pragma once
#include "sim/Ipv4.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <queue>
#include <vector>

// Replies waiting for their time (Clock milliseconds), earliest first; replies due at the
// same time keep the order in which they were added. Owned by one thread.
class ReplyScheduler {
public:
    struct Entry {
        int64_t due_ms = 0;
        uint64_t sequence = 0;
        size_t camera = 0;       // index in the fleet
        Endpoint destination;
    };

    void add(int64_t due_ms, size_t camera, Endpoint destination);
    // Removes and returns every entry due at now_ms, in order.
    std::vector<Entry> take_due(int64_t now_ms);
    std::optional<int64_t> next_due() const;
    size_t size() const { return m_queue.size(); }
    void clear();

private:
    struct Later {
        bool operator()(const Entry& a, const Entry& b) const {
            return a.due_ms != b.due_ms ? a.due_ms > b.due_ms : a.sequence > b.sequence;
        }
    };
    std::priority_queue<Entry, std::vector<Entry>, Later> m_queue;
    uint64_t m_next_sequence = 0;
};
