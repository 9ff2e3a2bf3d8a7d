#pragma once
#include "discovery/DiscoveryRecords.h"

#include <functional>
#include <mutex>
#include <vector>

// Carries discovery reports from the facade's merge thread to the thread that owns the
// device list, without the merge thread ever waiting for that thread: a report is copied
// into the inbox under a short lock, and the owner is woken once per batch. A window that
// is closing can therefore stop discovery (which joins the merge thread) at any moment.
class DiscoveryInbox {
public:
    struct Item {
        DEV_INFO record;
        bool is_new;
    };
    // Asks the owner's thread to call take() soon. Called on the reporting thread, with no
    // lock held, once each time the inbox goes from empty to not empty.
    using Wake = std::function<void()>;

    explicit DiscoveryInbox(Wake wake);
    DiscoveryInbox(const DiscoveryInbox&) = delete;
    DiscoveryInbox& operator=(const DiscoveryInbox&) = delete;

    void push(const DEV_INFO& record, bool is_new);

    // Owner's thread: every report queued so far, oldest first.
    std::vector<Item> take();

    // Owner's thread: forgets the reports queued so far (the list is being emptied).
    void discard();

private:
    Wake m_wake;
    std::mutex m_mutex;
    std::vector<Item> m_items;
    bool m_wake_pending = false;
};
