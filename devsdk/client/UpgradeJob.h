#pragma once
#include "devsdk/client/LoginSession.h"
#include "devsdk/protocol/Messages.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// A firmware transfer. The start sends the file's header and returns the device's verdict;
// a thread then streams the image from the file in chunks, and the device's progress
// reports say how much of it arrived.
namespace ovix::client {

class UpgradeJob : public std::enable_shared_from_this<UpgradeJob> {
public:
    static int32_t start(const std::shared_ptr<LoginSession>& session, const std::string& path,
                         std::shared_ptr<UpgradeJob>& out);
    ~UpgradeJob();

    // OVIX_OK and the percent the device holds, or the error that ended the transfer.
    int32_t status(int32_t& percent);
    // Stops sending (the device is told unless it has the whole file) and lets go of the login.
    void stop();

    // From the login's reader thread.
    void on_progress(const UpgradeProgress& progress);
    void on_connection_lost();

private:
    UpgradeJob(std::shared_ptr<LoginSession> session, int fd, uint64_t file_size);
    void send_image();
    void fail(int32_t error);
    void note_activity();

    std::shared_ptr<LoginSession> m_session;
    int m_fd;
    const uint64_t m_file_size;
    std::thread m_sender;
    std::atomic<bool> m_stop{false};

    std::mutex m_mutex;
    uint64_t m_received = 0;
    bool m_complete = false;
    int32_t m_error = 0;
    int64_t m_last_activity = 0;
    bool m_stopped = false;
};

} // namespace ovix::client
