#pragma once
#include "devsdk/ovix_client.h"

#include <mutex>
#include <vector>

// Collects the events that one login reports through the device SDK's event callback.
struct EventLog {
    std::mutex mutex;
    std::vector<ovix_event> events;

    static int32_t callback(int32_t, const ovix_event* event, void* context) {
        auto* log = static_cast<EventLog*>(context);
        std::lock_guard<std::mutex> lock(log->mutex);
        log->events.push_back(*event);
        return 0;
    }
    size_t count() {
        std::lock_guard<std::mutex> lock(mutex);
        return events.size();
    }
    ovix_event at(size_t i) {
        std::lock_guard<std::mutex> lock(mutex);
        return events.at(i);
    }
    bool dropped() {
        std::lock_guard<std::mutex> lock(mutex);
        for (const ovix_event& e : events)
            if (e.main == OVIX_EVENT_LOGIN_DROPPED) return true;
        return false;
    }
};
