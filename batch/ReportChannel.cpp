#include "batch/ReportChannel.h"

#include <memory>
#include <utility>

ReportChannel::ReportChannel(Dispatch dispatch, Handler handler)
    : m_dispatch(std::move(dispatch)), m_handler(std::move(handler)), m_receiver(std::this_thread::get_id()) {}

void ReportChannel::post_report(ReportKind kind, uint32_t payload) {
    m_dispatch([this, kind, payload] { m_handler(kind, payload); });
}

void ReportChannel::send_report(ReportKind kind, uint32_t payload) {
    if (std::this_thread::get_id() == m_receiver) {
        m_handler(kind, payload);
        return;
    }
    uint64_t epoch = 0;
    bool open = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        open = m_open;
        epoch = m_epoch;
    }
    if (!open) {
        // A stopped job: the receiver may be waiting for this very thread.
        post_report(kind, payload);
        return;
    }
    // Shared with the task, which may run after this call has given up waiting.
    auto handled = std::make_shared<bool>(false);
    m_dispatch([this, kind, payload, handled] {
        m_handler(kind, payload);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            *handled = true;
        }
        m_handled.notify_all();
    });
    std::unique_lock<std::mutex> lock(m_mutex);
    m_handled.wait(lock, [&] { return *handled || !m_open || m_epoch != epoch; });
}

void ReportChannel::open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = true;
}

void ReportChannel::close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
        ++m_epoch;
    }
    m_handled.notify_all();
}

bool ReportChannel::is_open() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}
