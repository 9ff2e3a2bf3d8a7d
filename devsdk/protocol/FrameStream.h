#pragma once
#include "devsdk/protocol/Frame.h"

#include <atomic>
#include <cstdint>
#include <span>

struct iovec;

// Frames over one TCP socket. Reads end at a deadline on the system clock; writes give up
// when the peer takes no byte for a while, so that a slow link still gets long frames through.
// One thread reads; writers take turns (the owner serialises them); shutdown() may come from
// any thread and wakes both. The descriptor is closed by the destructor only, so that it
// cannot be reused while another thread still polls it.
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
    // Frames that fit in `read_buffer` come through it, as many per receive as have arrived;
    // a longer payload is received straight into the frame's own buffer, without a copy.
    explicit FrameStream(int fd, size_t read_buffer = 16 * 1024);
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    // A long payload is handed over by swapping buffers: the one `out.payload` held takes the
    // next long payload, so a reader that keeps one Frame receives bulk data without allocating.
    Io read(Frame& out, int64_t deadline_ms);

    // Header and payload in one go; the payload may come in two pieces (a prefix and a
    // bulk part) so that bulk data is not copied. Times out when the peer accepts no byte
    // for stall_ms. A write that fails after sending part of a frame leaves the stream
    // broken: every later write fails, and the owner must give up the connection.
    Io write(uint16_t kind, uint32_t id, ByteView payload, ByteView more, int64_t stall_ms);
    Io write(Kind kind, uint32_t id, ByteView payload, int64_t stall_ms) {
        return write(static_cast<uint16_t>(kind), id, payload, {}, stall_ms);
    }
    // Up to kMaxBatchFrames frames of one kind that expect no answer (id 0), in one system
    // call: bulk data in fewer and larger writes. `waited` tells whether the peer's pace held
    // the write up, for a caller that sizes its batches by it.
    static constexpr size_t kMaxBatchFrames = 8;
    Io write_frames(uint16_t kind, std::span<const ByteView> payloads, int64_t stall_ms, bool& waited);
    bool broken() const { return m_broken; }

    void shutdown();
    int fd() const { return m_fd; }

private:
    bool wait_for(short events, int64_t deadline_ms);
    Io receive(uint8_t* first, size_t first_size, uint8_t* second, size_t second_size, int64_t deadline_ms,
               size_t& got);
    void make_room(size_t frame_size);
    Io send_parts(iovec* parts, size_t count, int64_t stall_ms, bool& waited);
    void hand_over(Frame& out);

    int m_fd;
    // Frames that fit, and the next frame's header: [m_begin, m_end) is unread.
    Bytes m_in;
    size_t m_begin = 0;
    size_t m_end = 0;
    // A long payload on its way into m_payload; m_header is its frame's.
    bool m_direct = false;
    FrameHeader m_header;
    Bytes m_payload;
    size_t m_payload_have = 0;
    // After a long payload the next one is likely long too: read its header alone, so that
    // its payload is not pulled into m_in and copied.
    bool m_header_alone = false;
    // The last receive took all the socket had: poll before the next.
    bool m_drained = false;
    std::atomic<bool> m_broken{false};
};

} // namespace ovix
