#pragma once
#include "foundation/Clock.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Whose turn it is to write a frame on a connection. A timed lock built on a condition
// variable, so that waits run on the system clock (and thread checkers see every turn).
namespace ovix::client {

class SendTurn {
public:
    bool acquire(int64_t wait_ms) {
        const int64_t deadline = Clock::now_ms() + wait_ms;
        std::unique_lock<std::mutex> lock(m_mutex);
        while (m_busy) {
            int64_t left = deadline - Clock::now_ms();
            if (left <= 0) return false;
            int64_t real = Clock::real_ms(left);
            m_free.wait_for(lock, std::chrono::milliseconds(real < 1 ? 1 : real));
        }
        m_busy = true;
        return true;
    }

    bool try_acquire() {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_busy) return false;
        m_busy = true;
        return true;
    }

    void release() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_busy = false;
        }
        m_free.notify_one();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_free;
    bool m_busy = false;
};

} // namespace ovix::client
