#pragma once
#include "devsdk/client/LoginSession.h"
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/Messages.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A live stream of one login: decodes the device's pictures and hands them to the render
// target. Setting a target (or none) waits for a picture being delivered to the old one,
// so that a caller may free its target as soon as the call returns.
namespace ovix::client {

class LiveStream : public std::enable_shared_from_this<LiveStream> {
public:
    static int32_t start(const std::shared_ptr<LoginSession>& session, const ovix_live_preview& preview,
                         std::shared_ptr<LiveStream>& out);
    ~LiveStream();

    int32_t control(int32_t command, void* argument);
    void stop();

    // From the login's reader thread.
    void on_frame(const VideoFrameHeader& header, ByteView picture);

private:
    LiveStream(std::shared_ptr<LoginSession> session, uint32_t stream_id);
    void set_target(ovix_render_target* target);
    int32_t forward(int32_t command, ByteView argument);

    std::shared_ptr<LoginSession> m_session;
    const uint32_t m_stream_id;
    std::atomic<bool> m_stopped{false};

    std::atomic<ovix_render_target*> m_target{nullptr};
    std::mutex m_deliver_mutex;
    std::atomic<std::thread::id> m_delivering{};
    std::vector<uint32_t> m_pixels;
};

} // namespace ovix::client
