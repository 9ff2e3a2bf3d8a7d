#pragma once
#include "foundation/Clock.h"

#include <cstdint>
#include <functional>

namespace support {

// Polls until cond holds; false when it never does within a bound that only keeps a broken
// build from hanging (system ms, so a sped-up clock shortens it too). Tests assert outcomes,
// never how long they took.
inline bool eventually(const std::function<bool()>& cond, int64_t limit_ms = 600000) {
    const int64_t deadline = Clock::now_ms() + limit_ms;
    while (!cond()) {
        if (Clock::now_ms() > deadline) return false;
        Clock::sleep_ms(5);
    }
    return true;
}

} // namespace support
