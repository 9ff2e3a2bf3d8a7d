#include "devsdk/client/Connection.h"

#include "devsdk/ovix_client.h"
#include "devsdk/protocol/Timing.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <chrono>
#include <system_error>

namespace ovix::client {

namespace {

// How often the reader looks at the clock while the line is quiet.
constexpr int64_t kReaderSliceMs = 1000;
// A ping waits no longer than this for the socket: the reader must get back to reading.
constexpr int64_t kPingStallMs = 1000;

std::chrono::milliseconds real_wait(int64_t system_ms) {
    int64_t real = Clock::real_ms(system_ms);
    return std::chrono::milliseconds(real < 1 ? 1 : real);
}

int32_t drop_reason(Io io) {
    switch (io) {
    case Io::Closed: return OVIX_DROP_CLOSED;
    case Io::Garbage: return OVIX_DROP_PROTOCOL;
    case Io::Timeout: return OVIX_DROP_SILENT;
    default: return OVIX_DROP_NETWORK;
    }
}

} // namespace

Connection::Connection(std::unique_ptr<FrameStream> stream, uint32_t next_id, PushHandler push, DropHandler drop)
    : m_stream(std::move(stream)), m_push(std::move(push)), m_drop(std::move(drop)), m_next_id(next_id) {
    m_last_received = Clock::now_ms();
    m_last_ping = m_last_received.load();
    m_last_sent = m_last_received.load();
}

int32_t Connection::start(std::unique_ptr<FrameStream> stream, uint32_t next_id, PushHandler push, DropHandler drop,
                          std::shared_ptr<Connection>& out) {
    std::shared_ptr<Connection> c(new Connection(std::move(stream), next_id, std::move(push), std::move(drop)));
    try {
        // The reader waits on m_mutex until m_reader is assigned, so that it may close itself.
        std::lock_guard<std::mutex> lock(c->m_mutex);
        c->m_reader = std::thread(&Connection::reader_loop, c.get(), c);
    } catch (const std::system_error& e) {
        DEBUG_LOCATION("ovix_client", "Connection::start");
        debug_log("no reader thread: %s\n", e.what());
        return OVIX_ERR_RESOURCES;
    }
    out = std::move(c);
    return OVIX_OK;
}

Connection::~Connection() {
    // Only the reader itself can hold the last reference while it still runs.
    if (m_reader.joinable()) m_reader.detach();
}

void Connection::close(Kind goodbye) {
    // Closing first: the device's answer to the goodbye is to close, which is no drop.
    m_closing = true;
    try_send(goodbye, 0);
    m_stream->shutdown();
    if (m_reader.joinable()) {
        if (m_reader.get_id() == std::this_thread::get_id())
            m_reader.detach();
        else
            m_reader.join();
    }
    m_dead = true;
    fail_pending();
}

void Connection::give_up(int32_t reason) {
    int32_t none = 0;
    m_reason.compare_exchange_strong(none, reason);
    m_dead = true;
    m_stream->shutdown();
}

void Connection::fail_pending() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& [id, pending] : m_pending) {
        if (pending->done) continue;
        pending->done = true;
        pending->error = OVIX_ERR_DISCONNECTED;
    }
    m_answered.notify_all();
}

int32_t Connection::write(uint16_t kind, uint32_t id, ByteView payload, ByteView more, int64_t lock_wait_ms) {
    if (m_dead) return OVIX_ERR_DISCONNECTED;
    if (!m_send_turn.acquire(lock_wait_ms)) return OVIX_ERR_TIMEOUT;
    Io io = m_stream->write(kind, id, payload, more, kPeerSilenceMs);
    m_send_turn.release();
    if (io == Io::Ok) m_last_sent = Clock::now_ms();
    return outcome(kind, io);
}

int32_t Connection::outcome(uint16_t kind, Io io) {
    if (io == Io::Ok) return OVIX_OK;
    DEBUG_LOCATION("ovix_client", "Connection::write");
    debug_log("cannot send %s frame, giving the connection up\n", kind_name(kind));
    give_up(io == Io::Timeout ? OVIX_DROP_SILENT : drop_reason(io));
    return OVIX_ERR_DISCONNECTED;
}

int32_t Connection::send(Kind kind, ByteView payload, ByteView more) {
    return write(static_cast<uint16_t>(kind), 0, payload, more, kPeerSilenceMs);
}

int32_t Connection::send_batch(Kind kind, std::span<const ByteView> payloads, bool& waited) {
    waited = false;
    if (m_dead) return OVIX_ERR_DISCONNECTED;
    if (!m_send_turn.acquire(kPeerSilenceMs)) return OVIX_ERR_TIMEOUT;
    Io io = m_stream->write_frames(static_cast<uint16_t>(kind), payloads, kPeerSilenceMs, waited);
    m_send_turn.release();
    if (io == Io::Ok) m_last_sent = Clock::now_ms();
    return outcome(static_cast<uint16_t>(kind), io);
}

int32_t Connection::call(Kind kind, ByteView payload, Bytes* data, int64_t timeout_ms) {
    // The answer would have to come through the very thread that waits for it.
    if (std::this_thread::get_id() == m_reader_id.load()) return OVIX_ERR_REENTRANT;
    if (timeout_ms <= 0) timeout_ms = kRequestTimeoutMs;
    const int64_t deadline = Clock::now_ms() + timeout_ms;
    Pending pending;
    const uint32_t id = new_id();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_dead) return OVIX_ERR_DISCONNECTED;
        m_pending[id] = &pending;
    }
    int32_t sent = write(static_cast<uint16_t>(kind), id, payload, {}, timeout_ms);

    std::unique_lock<std::mutex> lock(m_mutex);
    if (sent == OVIX_OK) {
        while (!pending.done) {
            int64_t left = deadline - Clock::now_ms();
            if (left <= 0) break;
            m_answered.wait_for(lock, real_wait(left));
        }
    }
    m_pending.erase(id);
    if (sent != OVIX_OK) return sent;
    if (!pending.done) return OVIX_ERR_TIMEOUT;
    if (pending.error != 0) return pending.error;
    if (data) *data = std::move(pending.answer.data);
    return pending.answer.result;
}

bool Connection::dispatch(Frame& frame) {
    if (frame.kind != static_cast<uint16_t>(Kind::Result)) return m_push ? m_push(frame) : true;
    Answer answer;
    // Negative results belong to the library; a device never sends them.
    if (!decode(frame.payload, answer) || answer.result < 0) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_pending.find(frame.id);
    if (it == m_pending.end()) return true;  // a ping's answer, or one that came too late
    it->second->answer = std::move(answer);
    it->second->done = true;
    m_answered.notify_all();
    return true;
}

uint32_t Connection::new_id() {
    std::lock_guard<std::mutex> lock(m_mutex);
    uint32_t id = m_next_id++;
    if (m_next_id == 0) m_next_id = 1;
    return id;
}

void Connection::try_send(Kind kind, uint32_t id) {
    if (m_dead) return;
    // Skip it while someone else writes: the line is in use, and the caller (the reader,
    // or a logout) must not wait behind an upgrade chunk.
    if (!m_send_turn.try_acquire()) return;
    Io io = m_stream->write(static_cast<uint16_t>(kind), id, {}, {}, kPingStallMs);
    m_send_turn.release();
    if (io == Io::Ok) m_last_sent = Clock::now_ms();
    if (io != Io::Ok && (io != Io::Timeout || m_stream->broken())) give_up(drop_reason(io));
}

// A ping when either side has been quiet: a quiet device may be gone, and a device that only
// sends (live pictures) hears nothing from us and ends the login at its idle limit.
void Connection::keep_alive(int64_t now) {
    if (now - m_last_ping < kKeepaliveIdleMs) return;
    if (now - m_last_received < kKeepaliveIdleMs && now - m_last_sent < kKeepaliveIdleMs) return;
    m_last_ping = now;
    try_send(Kind::Ping, new_id());
}

void Connection::reader_loop(std::shared_ptr<Connection> self) {
    { std::lock_guard<std::mutex> started(m_mutex); }
    m_reader_id = std::this_thread::get_id();
    Io io = Io::Ok;
    Frame frame;  // kept across reads: its buffer takes the next long payload
    for (;;) {
        io = m_stream->read(frame, Clock::now_ms() + kReaderSliceMs);
        if (m_closing) break;
        int64_t now = Clock::now_ms();
        if (io == Io::Ok) {
            m_last_received = now;
            if (!dispatch(frame)) {
                io = Io::Garbage;
                break;
            }
            keep_alive(now);
            continue;
        }
        if (io != Io::Timeout) break;
        if (now - m_last_received >= kPeerSilenceMs) break;
        keep_alive(now);
    }
    int32_t none = 0;
    m_reason.compare_exchange_strong(none, drop_reason(io));
    m_dead = true;
    fail_pending();
    if (!m_closing) {
        DEBUG_LOCATION("ovix_client", "Connection::reader_loop");
        debug_log("connection dropped, reason %d\n", m_reason.load());
        m_stream->shutdown();
        if (m_drop) m_drop(m_reason);
    }
    self.reset();
}

} // namespace ovix::client
