#include "batch/DiscoveryInbox.h"

#include <utility>

DiscoveryInbox::DiscoveryInbox(Wake wake) : m_wake(std::move(wake)) {}

void DiscoveryInbox::push(const DEV_INFO& record, bool is_new) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back({record, is_new});
        wake = !m_wake_pending;
        m_wake_pending = true;
    }
    if (wake && m_wake) m_wake();
}

std::vector<DiscoveryInbox::Item> DiscoveryInbox::take() {
    std::vector<Item> items;
    std::lock_guard<std::mutex> lock(m_mutex);
    items.swap(m_items);
    m_wake_pending = false;
    return items;
}

void DiscoveryInbox::discard() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_items.clear();
}
