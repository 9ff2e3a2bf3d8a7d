#pragma once
#include "devsdk/client/SendTurn.h"
#include "devsdk/protocol/FrameStream.h"
#include "devsdk/protocol/Messages.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

// One logged-in device connection. A reader thread takes every incoming frame: answers go
// to the request waiting for their id, everything else to the push handler. The reader also
// keeps the connection alive with pings, and reports once, through the drop handler, when
// the connection ends by itself (not when close() ends it).
namespace ovix::client {

class Connection : public std::enable_shared_from_this<Connection> {
public:
    // Returns false for a frame that breaks the protocol; the connection is then given up.
    using PushHandler = std::function<bool(Frame& frame)>;
    using DropHandler = std::function<void(int32_t reason)>;

    // Takes a stream whose login is done. `next_id` continues the ids the login used.
    static int32_t start(std::unique_ptr<FrameStream> stream, uint32_t next_id, PushHandler push, DropHandler drop,
                         std::shared_ptr<Connection>& out);
    ~Connection();

    // Sends a request and waits for its answer: the device's result (data in *data), or a
    // library error (timeout, disconnected).
    int32_t call(Kind kind, ByteView payload, Bytes* data = nullptr, int64_t timeout_ms = 0);
    // Sends a frame that has no answer.
    int32_t send(Kind kind, ByteView payload, ByteView more = {});
    // Several such frames in one turn of the line (FrameStream::write_frames).
    int32_t send_batch(Kind kind, std::span<const ByteView> payloads, bool& waited);
    // An empty frame, only if the line is free right now and takes it at once (pings, the
    // goodbye of a logout).
    void try_send(Kind kind, uint32_t id);

    // Ends the connection without a drop report, after an empty goodbye frame of that kind
    // if the line is free; waits for the reader unless called on it.
    void close(Kind goodbye = Kind::Logout);
    bool alive() const { return !m_dead; }

private:
    struct Pending {
        bool done = false;
        int32_t error = 0;
        Answer answer;
    };

    Connection(std::unique_ptr<FrameStream> stream, uint32_t next_id, PushHandler push, DropHandler drop);
    void reader_loop(std::shared_ptr<Connection> self);
    bool dispatch(Frame& frame);
    void keep_alive(int64_t now);
    uint32_t new_id();
    int32_t write(uint16_t kind, uint32_t id, ByteView payload, ByteView more, int64_t lock_wait_ms);
    int32_t outcome(uint16_t kind, Io io);
    void give_up(int32_t reason);
    void fail_pending();

    std::unique_ptr<FrameStream> m_stream;
    PushHandler m_push;
    DropHandler m_drop;
    SendTurn m_send_turn;

    std::mutex m_mutex;
    std::condition_variable m_answered;
    std::map<uint32_t, Pending*> m_pending;
    uint32_t m_next_id;

    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_dead{false};
    std::atomic<int32_t> m_reason{0};
    std::atomic<int64_t> m_last_received{0};
    std::atomic<int64_t> m_last_ping{0};
    std::atomic<int64_t> m_last_sent{0};
    std::atomic<std::thread::id> m_reader_id{};
    std::thread m_reader;
};

} // namespace ovix::client
