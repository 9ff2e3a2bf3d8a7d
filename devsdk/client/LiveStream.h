#pragma once
#include "devsdk/client/LoginSession.h"
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/Messages.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A live stream of one login: decodes the device's pictures and sound and hands them to the
// render target and the audio target. Each delivery holds the delivery lock for its whole
// length, and setting a target (or none), stopping the stream or logging out takes that lock:
// once one of them returns, the old target sees no callback any more and the caller may free
// it at once.
namespace ovix::client {

class LiveStream : public std::enable_shared_from_this<LiveStream> {
public:
    static int32_t start(const std::shared_ptr<LoginSession>& session, const ovix_live_preview& preview,
                         std::shared_ptr<LiveStream>& out);
    ~LiveStream();

    int32_t control(int32_t command, void* argument);
    // Ends the deliveries, then tells the device. Every caller returns only after the end.
    void stop();
    // No callback starts after this returns, and none is in progress, except the one this
    // thread is inside of. Later targets are refused.
    void end_delivery();

    // From the login's reader thread.
    void on_frame(const VideoFrameHeader& header, ByteView picture);
    // `samples` as the decoder passed them: whole frames within the limits.
    void on_audio(const AudioFrameHeader& header, ByteView samples);

private:
    LiveStream(std::shared_ptr<LoginSession> session, uint32_t stream_id);
    template <class Target>
    int32_t set_target(std::atomic<Target*>& slot, Target* target);
    int32_t forward(int32_t command, ByteView argument);
    // Runs `change` under the delivery lock. Inside a frame or audio callback this thread holds
    // the lock already: the delivery in progress is the caller's own, and waiting would never end.
    template <class Change>
    void with_delivery_held(Change change);
    // Runs the callback with this thread marked as the delivering one; the lock is held.
    template <class Callback>
    void deliver(Callback callback);

    std::shared_ptr<LoginSession> m_session;
    const uint32_t m_stream_id;
    std::atomic<bool> m_stopped{false};  // the device has been told, or needs no telling

    std::mutex m_deliver_mutex;
    // Changed only under m_deliver_mutex; read without it just to skip needless decoding.
    std::atomic<ovix_render_target*> m_target{nullptr};
    std::atomic<ovix_audio_target*> m_audio{nullptr};
    std::atomic<bool> m_ended{false};
    std::atomic<std::thread::id> m_delivering{};
    std::vector<uint32_t> m_pixels;
    std::vector<int16_t> m_samples;
};

} // namespace ovix::client
