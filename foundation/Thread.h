#pragma once
#include "foundation/Clock.h"
#include "foundation/ResultCodes.h"
#include "foundation/debug_log.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <typeinfo>

namespace thread_detail {
// Pauses are slept in slices so that Stop is noticed within one slice.
constexpr int32_t kPauseSliceMs = 200;
std::string location_name(const char* owner_type, const char* function);
}

// Runs owner->ThreadFunc(argument) in a loop on a thread of its own, with a pause between
// rounds. ThreadFunc returns 0 to go on and non-zero to end the loop. Start and Stop are
// called from one controlling thread, never from the worker itself.
template <class T>
class CThread {
public:
    CThread() = default;
    ~CThread() {
        if (m_running) Stop();
        m_owner = nullptr;
        m_argument = 0;
        m_pause_ms = 0;
    }
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    uint32_t Start(T* owner, uint32_t argument, int32_t pause_ms) {
        if (!owner) {
            log_location("Start", __LINE__);
            return RC_ARG_MISSING;
        }
        if (m_running) {
            log_location("Start", __LINE__);
            return RC_ALREADY_STARTED;
        }
        m_owner = owner;
        m_argument = argument;
        m_pause_ms = pause_ms;
        m_running = true;
        try {
            m_handle = std::make_unique<std::thread>(&CThread::Body, this);
        } catch (const std::system_error& e) {
            log_location("Start", __LINE__);
            debug_log("_beginthreadex failed %d\n", e.code().value());
            m_running = false;
            return RC_FAIL;
        }
        return RC_OK;
    }

    uint32_t Stop() {
        if (!m_running) {
            log_location("Stop", __LINE__);
            return RC_NOT_STARTED;
        }
        m_running = false;
        if (m_handle) {
            if (m_handle->joinable()) m_handle->join();
            m_handle.reset();
        }
        return RC_OK;
    }

    bool IsRunning() const { return m_running; }

private:
    void Body() {
        if (!m_owner) {
            log_location("ThreadFunc", __LINE__);
            return;
        }
        while (m_running) {
            if (m_owner->ThreadFunc(m_argument) != 0) break;
            int32_t left = m_pause_ms;
            while (left > 0 && m_running) {
                int32_t slice = left > thread_detail::kPauseSliceMs ? thread_detail::kPauseSliceMs : left;
                Clock::sleep_ms(slice);
                left -= slice;
            }
        }
        log_location("ThreadFunc", __LINE__);
        debug_log("quit thread object\n");
    }

    static void log_location(const char* function, int line) {
        debug_log("[%s : %s] %d entered\n", "Thread", thread_detail::location_name(owner_name(), function).c_str(), line);
    }

    // The owner's class name for the log line "CThread<class T>::F". An owner names itself
    // with a static member kThreadLogName; others are logged by their compiler type name.
    static const char* owner_name() {
        if constexpr (requires { T::kThreadLogName; })
            return T::kThreadLogName;
        else
            return typeid(T).name();
    }

    T* m_owner = nullptr;
    std::unique_ptr<std::thread> m_handle;
    uint32_t m_argument = 0;
    std::atomic<bool> m_running{false};
    int32_t m_pause_ms = 0;
};
