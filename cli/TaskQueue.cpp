#include "cli/TaskQueue.h"

#include <chrono>
#include <utility>

void TaskQueue::push(Task task) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_ready.notify_one();
}

size_t TaskQueue::run_pending(int64_t wait_real_ms) {
    std::deque<Task> batch;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_tasks.empty() && wait_real_ms > 0)
            m_ready.wait_for(lock, std::chrono::milliseconds(wait_real_ms), [this] { return !m_tasks.empty(); });
        batch.swap(m_tasks);
    }
    // Unlocked while they run: workers keep queueing meanwhile.
    for (Task& task : batch) task();
    return batch.size();
}
