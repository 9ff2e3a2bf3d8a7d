#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

// Tasks handed in from any thread and run in order on the one thread that drains the queue:
// the command line's counterpart of a window's event loop.
class TaskQueue {
public:
    using Task = std::function<void()>;

    void push(Task task);
    // Runs what is queued, first waiting up to wait_real_ms (real milliseconds) for a task
    // when there is none. Tasks queued meanwhile wait for the next call, so that a flood of
    // reports never keeps the caller from its other work. Returns how many ran.
    size_t run_pending(int64_t wait_real_ms);

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Task> m_tasks;
};
