#pragma once
#include "devsdk/protocol/Frame.h"

#include <atomic>
#include <cstdint>

// Frames over one TCP socket. Reads end at a deadline on the system clock; writes give up
// when the peer takes no byte for a while, so that a slow link still gets long frames through. One thread reads; writers take turns (the owner serialises them); shutdown() may
// come from any thread and wakes both. The descriptor is closed by the destructor only, so
// that it cannot be reused while another thread still polls it.
namespace ovix {

enum class Io {
    Ok,
    Timeout,   // deadline passed; a read keeps what it had and can be called again
    Closed,    // the peer closed the connection, or shutdown() was called
    Failed,    // socket error (reset), or a write that timed out half-way earlier
    Garbage,   // the peer does not speak the protocol (bad magic, oversized length)
};

class FrameStream {
public:
    explicit FrameStream(int fd, size_t read_buffer = 16 * 1024);
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    Io read(Frame& out, int64_t deadline_ms);

    // Header and payload in one go; the payload may come in two pieces (a prefix and a
    // bulk part) so that bulk data is not copied. Times out when the peer accepts no byte
    // for stall_ms. A write that fails after sending part of a frame leaves the stream
    // broken: every later write fails, and the owner must give up the connection.
    Io write(uint16_t kind, uint32_t id, ByteView payload, ByteView more, int64_t stall_ms);
    Io write(Kind kind, uint32_t id, ByteView payload, int64_t stall_ms) {
        return write(static_cast<uint16_t>(kind), id, payload, {}, stall_ms);
    }
    bool broken() const { return m_broken; }

    void shutdown();
    int fd() const { return m_fd; }

private:
    bool wait_for(short events, int64_t deadline_ms);
    void make_room(size_t frame_size);

    int m_fd;
    size_t m_base_size;
    Bytes m_in;
    size_t m_begin = 0;
    size_t m_end = 0;
    std::atomic<bool> m_broken{false};
};

} // namespace ovix
