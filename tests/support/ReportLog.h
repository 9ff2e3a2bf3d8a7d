#pragma once
#include "batch/ReportChannel.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace support {

// A report channel whose receiver is a thread of its own, as a window's would be, keeping
// every report it handled in order.
class ReportLog {
public:
    struct Report {
        ReportKind kind;
        uint32_t payload;
    };

    ReportLog()
        : m_channel([this](ReportChannel::Task task) { enqueue(std::move(task)); },
                    [this](ReportKind kind, uint32_t payload) { record(kind, payload); }),
          m_receiver([this] { receive(); }) {}
    ~ReportLog() {
        m_channel.close();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        m_receiver.join();
    }

    ReportChannel& channel() { return m_channel; }

    std::vector<Report> reports() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reports;
    }
    // The status codes of one row, in order.
    std::vector<uint32_t> statuses(int row) const {
        std::vector<uint32_t> codes;
        for (const Report& r : reports())
            if (r.kind == REPORT_STATUS && static_cast<int>(report_high(r.payload)) == row)
                codes.push_back(report_low(r.payload));
        return codes;
    }
    size_t count(ReportKind kind, std::optional<uint32_t> payload = {}) const {
        size_t n = 0;
        for (const Report& r : reports()) n += r.kind == kind && (!payload || r.payload == *payload);
        return n;
    }
    size_t end_reports(int row) const { return count(REPORT_DEVICE_DONE, static_cast<uint32_t>(row)); }
    void clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reports.clear();
    }

private:
    void enqueue(ReportChannel::Task task) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_wake.notify_all();
    }
    void record(ReportKind kind, uint32_t payload) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reports.push_back({kind, payload});
    }
    void receive() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_quit || !m_tasks.empty(); });
            if (m_tasks.empty()) return;
            ReportChannel::Task task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<ReportChannel::Task> m_tasks;
    std::vector<Report> m_reports;
    bool m_quit = false;
    ReportChannel m_channel;
    std::thread m_receiver;
};

} // namespace support
