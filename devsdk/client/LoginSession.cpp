#include "devsdk/client/LoginSession.h"

#include "devsdk/client/LiveStream.h"
#include "devsdk/client/UpgradeJob.h"
#include "foundation/debug_log.h"

#include <cstdio>
#include <vector>

namespace ovix::client {

namespace {
// The login request took id 1.
constexpr uint32_t kFirstRequestId = 2;
}

int32_t LoginSession::open(const LoginTarget& target, std::shared_ptr<LoginSession>& out) {
    std::unique_ptr<FrameStream> stream;
    int32_t result = connect_and_log_in(target, stream);
    if (result != OVIX_OK) return result;

    std::shared_ptr<LoginSession> session(new LoginSession);
    std::weak_ptr<LoginSession> weak = session;
    result = Connection::start(
        std::move(stream), kFirstRequestId,
        [weak](Frame& frame) {
            auto s = weak.lock();
            return s ? s->on_push(frame) : true;
        },
        [weak](int32_t reason) {
            if (auto s = weak.lock()) s->on_drop(reason);
        },
        session->m_connection);
    if (result != OVIX_OK) return result;
    out = std::move(session);
    return OVIX_OK;
}

LoginSession::~LoginSession() {
    if (m_connection) m_connection->close();
}

void LoginSession::set_handle(int32_t handle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handle = handle;
}

int32_t LoginSession::set_event_callback(ovix_event_callback callback, void* context) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_callback = callback;
    m_context = context;
    return m_connection->alive() ? OVIX_OK : OVIX_ERR_DISCONNECTED;
}

int32_t LoginSession::call(Kind kind, ByteView payload, Bytes* data) {
    return m_connection->call(kind, payload, data);
}

int32_t LoginSession::send(Kind kind, ByteView payload, ByteView more) {
    return m_connection->send(kind, payload, more);
}

int32_t LoginSession::send_batch(Kind kind, std::span<const ByteView> payloads, bool& waited) {
    return m_connection->send_batch(kind, payloads, waited);
}

bool LoginSession::alive() const {
    return m_connection->alive();
}

bool LoginSession::attach_upgrade(const std::shared_ptr<UpgradeJob>& job) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_upgrade.expired()) return false;
    m_upgrade = job;
    return true;
}

void LoginSession::detach_upgrade(const UpgradeJob* job) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto current = m_upgrade.lock();
    if (!current || current.get() == job) m_upgrade.reset();
}

void LoginSession::attach_stream(uint32_t stream_id, const std::shared_ptr<LiveStream>& stream) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_streams[stream_id] = stream;
}

void LoginSession::detach_stream(uint32_t stream_id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_streams.erase(stream_id);
}

void LoginSession::close() {
    // The streams end first: closing the connection waits for the reader only when called
    // from another thread, and a logout from inside a callback must stop the pictures too.
    std::vector<std::shared_ptr<LiveStream>> streams;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [id, weak] : m_streams)
            if (auto stream = weak.lock()) streams.push_back(std::move(stream));
    }
    for (auto& stream : streams) stream->end_delivery();
    m_connection->close(Kind::Logout);
}

bool LoginSession::on_push(Frame& frame) {
    switch (static_cast<Kind>(frame.kind)) {
    case Kind::Event: {
        DeviceEvent device_event;
        if (!decode(frame.payload, device_event)) return false;
        ovix_event event{};
        event.main = device_event.main;
        event.sub = device_event.sub;
        event.value = device_event.value;
        std::snprintf(event.text, sizeof event.text, "%s", device_event.text.c_str());
        deliver(event);
        return true;
    }
    case Kind::UpgradeProgress: {
        UpgradeProgress progress;
        if (!decode(frame.payload, progress)) return false;
        std::shared_ptr<UpgradeJob> job;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            job = m_upgrade.lock();
        }
        if (job) job->on_progress(progress);
        return true;
    }
    case Kind::VideoFrame: {
        VideoFrameHeader header;
        ByteView picture;
        if (!decode(frame.payload, header, picture)) return false;
        if (auto stream = find_stream(header.stream_id)) stream->on_frame(header, picture);
        return true;
    }
    case Kind::AudioFrame: {
        AudioFrameHeader header;
        ByteView samples;
        // The framing is intact and only this sound is unusable: dropped, like a picture that
        // does not decode.
        if (!decode(frame.payload, header, samples)) {
            DEBUG_LOCATION("ovix_client", "LoginSession::on_push");
            debug_log("audio frame of %zu bytes refused\n", frame.payload.size());
            return true;
        }
        if (auto stream = find_stream(header.stream_id)) stream->on_audio(header, samples);
        return true;
    }
    default:
        return true;  // kinds of a later minor version
    }
}

std::shared_ptr<LiveStream> LoginSession::find_stream(uint32_t stream_id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_streams.find(stream_id);
    return it != m_streams.end() ? it->second.lock() : nullptr;
}

void LoginSession::on_drop(int32_t reason) {
    std::shared_ptr<UpgradeJob> job;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        job = m_upgrade.lock();
    }
    if (job) job->on_connection_lost();

    ovix_event event{};
    event.main = OVIX_EVENT_LOGIN_DROPPED;
    event.sub = reason;
    std::snprintf(event.text, sizeof event.text, "login dropped");
    deliver(event);
}

void LoginSession::deliver(ovix_event event) {
    ovix_event_callback callback;
    void* context;
    int32_t handle;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        callback = m_callback;
        context = m_context;
        handle = m_handle;
    }
    if (!callback) return;
    event.login_handle = handle;
    callback(handle, &event, context);
}

} // namespace ovix::client
