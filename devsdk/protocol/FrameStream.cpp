#include "devsdk/protocol/FrameStream.h"

#include "devsdk/protocol/Socket.h"
#include "foundation/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace ovix {

FrameStream::FrameStream(int fd, size_t read_buffer)
    : m_fd(fd), m_in(std::max(read_buffer, kFrameHeaderSize)) {}

FrameStream::~FrameStream() {
    if (m_fd >= 0) ::close(m_fd);
}

void FrameStream::shutdown() {
    ::shutdown(m_fd, SHUT_RDWR);
}

// A deadline that has passed still gets one look, so that a read without waiting takes what
// has arrived.
bool FrameStream::wait_for(short events, int64_t deadline_ms) {
    for (;;) {
        const int timeout = poll_timeout(deadline_ms);
        pollfd p{m_fd, events, 0};
        const int n = ::poll(&p, 1, timeout);
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return true;  // let the next call report the error
        if (n == 0 && timeout == 0) return false;
    }
}

// One receive into up to two places. A receive that got less than it asked for emptied the
// socket, so the next one polls first instead of asking an empty socket again.
Io FrameStream::receive(uint8_t* first, size_t first_size, uint8_t* second, size_t second_size,
                        int64_t deadline_ms, size_t& got) {
    iovec parts[2] = {{first, first_size}, {second, second_size}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = second_size > 0 ? 2 : 1;
    for (;;) {
        if (m_drained && !wait_for(POLLIN, deadline_ms)) return Io::Timeout;
        const ssize_t n = ::recvmsg(m_fd, &message, 0);
        if (n > 0) {
            got = static_cast<size_t>(n);
            m_drained = got < first_size + second_size;
            return Io::Ok;
        }
        if (n == 0) return Io::Closed;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return Io::Failed;
        m_drained = true;
    }
}

void FrameStream::make_room(size_t frame_size) {
    if (m_begin > 0 && (m_in.size() - m_begin < frame_size || m_end == m_in.size())) {
        std::memmove(m_in.data(), m_in.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
}

void FrameStream::hand_over(Frame& out) {
    out.kind = m_header.kind;
    out.id = m_header.id;
    out.payload.swap(m_payload);
    m_direct = false;
    m_header_alone = true;
}

Io FrameStream::read(Frame& out, int64_t deadline_ms) {
    for (;;) {
        size_t got = 0;
        Io io = Io::Ok;
        if (m_direct) {
            const size_t want = m_header.length - m_payload_have;
            if (want == 0) {
                hand_over(out);
                return Io::Ok;
            }
            // The rest of the payload in place, and the next frame's header if it is there.
            // m_in is empty here.
            io = receive(m_payload.data() + m_payload_have, want, m_in.data(), kFrameHeaderSize, deadline_ms, got);
            if (io == Io::Ok) {
                const size_t mine = std::min(got, want);
                m_payload_have += mine;
                m_end = got - mine;
            }
        } else {
            const size_t have = m_end - m_begin;
            size_t need = kFrameHeaderSize;
            if (have >= kFrameHeaderSize) {
                if (decode_frame_header(m_in.data() + m_begin, m_header) != HeaderCheck::Ok) return Io::Garbage;
                need = kFrameHeaderSize + m_header.length;
                const uint8_t* payload = m_in.data() + m_begin + kFrameHeaderSize;
                if (have >= need) {
                    out.kind = m_header.kind;
                    out.id = m_header.id;
                    // The stream keeps no long payload's buffer through short frames: an
                    // upgrade's chunks are not held for the rest of the connection.
                    if (m_payload.capacity() > m_in.size()) Bytes().swap(m_payload);
                    out.payload.assign(payload, payload + m_header.length);
                    m_begin += need;
                    if (m_begin == m_end) m_begin = m_end = 0;
                    m_header_alone = false;
                    return Io::Ok;
                }
                if (need > m_in.size()) {
                    // Too long for m_in: what arrived of the payload moves over, the rest goes
                    // straight into place. resize() fills only beyond the buffer's last size,
                    // which a reader that keeps its Frame has already had.
                    m_payload.resize(m_header.length);
                    m_payload_have = have - kFrameHeaderSize;
                    std::memcpy(m_payload.data(), payload, m_payload_have);
                    m_begin = m_end = 0;
                    m_direct = true;
                    continue;
                }
                m_header_alone = false;
            }
            make_room(need);
            const size_t room = m_header_alone ? need - have : m_in.size() - m_end;
            io = receive(m_in.data() + m_end, room, nullptr, 0, deadline_ms, got);
            if (io == Io::Ok) m_end += got;
        }
        if (io != Io::Ok) return io;
    }
}

Io FrameStream::write(uint16_t kind, uint32_t id, ByteView payload, ByteView more, int64_t stall_ms) {
    if (m_broken) return Io::Failed;
    const size_t total_payload = payload.size() + more.size();
    if (total_payload > kMaxPayload) return Io::Failed;
    uint8_t header[kFrameHeaderSize];
    encode_frame_header({kind, id, static_cast<uint32_t>(total_payload)}, header);
    iovec parts[3] = {{header, sizeof header},
                      {const_cast<uint8_t*>(payload.data()), payload.size()},
                      {const_cast<uint8_t*>(more.data()), more.size()}};
    bool waited = false;
    return send_parts(parts, 3, stall_ms, waited);
}

Io FrameStream::write_frames(uint16_t kind, std::span<const ByteView> payloads, int64_t stall_ms, bool& waited) {
    waited = false;
    if (m_broken) return Io::Failed;
    if (payloads.size() > kMaxBatchFrames) return Io::Failed;
    uint8_t headers[kMaxBatchFrames][kFrameHeaderSize];
    iovec parts[2 * kMaxBatchFrames];
    for (size_t i = 0; i < payloads.size(); ++i) {
        if (payloads[i].size() > kMaxPayload) return Io::Failed;
        encode_frame_header({kind, 0, static_cast<uint32_t>(payloads[i].size())}, headers[i]);
        parts[2 * i] = {headers[i], kFrameHeaderSize};
        parts[2 * i + 1] = {const_cast<uint8_t*>(payloads[i].data()), payloads[i].size()};
    }
    return send_parts(parts, 2 * payloads.size(), stall_ms, waited);
}

// Sends every part; `parts` is used up on the way.
Io FrameStream::send_parts(iovec* parts, size_t count, int64_t stall_ms, bool& waited) {
    size_t first = 0;
    bool started = false;
    int64_t deadline_ms = Clock::now_ms() + stall_ms;
    for (;;) {
        while (first < count && parts[first].iov_len == 0) ++first;
        if (first == count) return Io::Ok;
        msghdr message{};
        message.msg_iov = parts + first;
        message.msg_iovlen = count - first;
        const ssize_t n = ::sendmsg(m_fd, &message, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                waited = true;
                if (wait_for(POLLOUT, deadline_ms)) continue;
                if (started) m_broken = true;
                return Io::Timeout;
            }
            m_broken = true;
            return errno == EPIPE ? Io::Closed : Io::Failed;
        }
        started = true;
        deadline_ms = Clock::now_ms() + stall_ms;
        size_t left = static_cast<size_t>(n);
        while (first < count && left >= parts[first].iov_len) {
            left -= parts[first].iov_len;
            ++first;
        }
        if (first < count) {
            parts[first].iov_base = static_cast<uint8_t*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
}

} // namespace ovix
