#pragma once
#include "batch/JobReportSink.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// A JobReportSink over any event loop: reports travel as tasks that the receiver's thread
// runs in order. The window hands in "queue this on my thread"; a test or the command line
// hands in a queue of its own.
//
// Sends wait only while the channel is open, that is while a job runs. The receiver opens
// it when a job starts and closes it before it waits for the workers to end; closing
// releases every waiting send, and sends made while closed are taken as posts.
class ReportChannel : public JobReportSink {
public:
    using Task = std::function<void()>;
    // Runs the task later on the receiver's thread, in the order given. Called from any
    // thread; must drop the task if the receiver is gone.
    using Dispatch = std::function<void(Task)>;
    // Handles one report, on the receiver's thread.
    using Handler = std::function<void(ReportKind, uint32_t)>;

    // The constructing thread is taken as the receiver's thread: a send from there is
    // handled at once instead of waiting for itself.
    ReportChannel(Dispatch dispatch, Handler handler);
    ReportChannel(const ReportChannel&) = delete;
    ReportChannel& operator=(const ReportChannel&) = delete;

    void post_report(ReportKind kind, uint32_t payload) override;
    void send_report(ReportKind kind, uint32_t payload) override;

    void open();
    void close();
    bool is_open() const;

private:
    Dispatch m_dispatch;
    Handler m_handler;
    std::thread::id m_receiver;
    mutable std::mutex m_mutex;
    std::condition_variable m_handled;
    bool m_open = false;
    uint64_t m_epoch = 0;  // raised by every close, so a send from before it never waits on
};
