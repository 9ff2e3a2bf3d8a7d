#include "sim/ReplyScheduler.h"

void ReplyScheduler::add(int64_t due_ms, size_t camera, Endpoint destination) {
    m_queue.push(Entry{due_ms, m_next_sequence++, camera, destination});
}

std::vector<ReplyScheduler::Entry> ReplyScheduler::take_due(int64_t now_ms) {
    std::vector<Entry> due;
    while (!m_queue.empty() && m_queue.top().due_ms <= now_ms) {
        due.push_back(m_queue.top());
        m_queue.pop();
    }
    return due;
}

std::optional<int64_t> ReplyScheduler::next_due() const {
    if (m_queue.empty()) return std::nullopt;
    return m_queue.top().due_ms;
}

void ReplyScheduler::clear() {
    m_queue = {};
}
