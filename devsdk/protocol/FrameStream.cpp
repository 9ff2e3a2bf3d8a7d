#include "devsdk/protocol/FrameStream.h"

#include "devsdk/protocol/Socket.h"
#include "foundation/Clock.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace ovix {

FrameStream::FrameStream(int fd, size_t read_buffer) : m_fd(fd), m_base_size(read_buffer), m_in(read_buffer) {}

FrameStream::~FrameStream() {
    if (m_fd >= 0) ::close(m_fd);
}

void FrameStream::shutdown() {
    ::shutdown(m_fd, SHUT_RDWR);
}

bool FrameStream::wait_for(short events, int64_t deadline_ms) {
    for (;;) {
        int timeout = poll_timeout(deadline_ms);
        if (timeout == 0) return false;
        pollfd p{m_fd, events, 0};
        int n = ::poll(&p, 1, timeout);
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return true;  // let the next call report the error
    }
}

void FrameStream::make_room(size_t frame_size) {
    if (m_begin > 0 && (m_in.size() - m_begin < frame_size || m_end == m_in.size())) {
        std::memmove(m_in.data(), m_in.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_in.size() < frame_size) m_in.resize(frame_size);
}

Io FrameStream::read(Frame& out, int64_t deadline_ms) {
    for (;;) {
        size_t have = m_end - m_begin;
        size_t need = kFrameHeaderSize;
        if (have >= kFrameHeaderSize) {
            FrameHeader header;
            if (decode_frame_header(m_in.data() + m_begin, header) != HeaderCheck::Ok) return Io::Garbage;
            need = kFrameHeaderSize + header.length;
            if (have >= need) {
                const uint8_t* payload = m_in.data() + m_begin + kFrameHeaderSize;
                out.kind = header.kind;
                out.id = header.id;
                out.payload.assign(payload, payload + header.length);
                m_begin += need;
                if (m_begin == m_end) {
                    m_begin = m_end = 0;
                    // A large frame grew the buffer; do not keep it for every idle connection.
                    if (m_in.size() > 4 * m_base_size) {
                        m_in.resize(m_base_size);
                        m_in.shrink_to_fit();
                    }
                }
                return Io::Ok;
            }
        }
        make_room(need);
        ssize_t n = ::recv(m_fd, m_in.data() + m_end, m_in.size() - m_end, 0);
        if (n > 0) {
            m_end += static_cast<size_t>(n);
            continue;
        }
        if (n == 0) return Io::Closed;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return Io::Failed;
        if (!wait_for(POLLIN, deadline_ms)) return Io::Timeout;
    }
}

Io FrameStream::write(uint16_t kind, uint32_t id, ByteView payload, ByteView more, int64_t stall_ms) {
    if (m_broken) return Io::Failed;
    size_t total_payload = payload.size() + more.size();
    if (total_payload > kMaxPayload) return Io::Failed;
    uint8_t header[kFrameHeaderSize];
    encode_frame_header({kind, id, static_cast<uint32_t>(total_payload)}, header);

    iovec parts[3] = {{header, sizeof header},
                      {const_cast<uint8_t*>(payload.data()), payload.size()},
                      {const_cast<uint8_t*>(more.data()), more.size()}};
    size_t first = 0;
    size_t sent_total = 0;
    const size_t frame_size = sizeof header + total_payload;
    int64_t deadline_ms = Clock::now_ms() + stall_ms;
    while (sent_total < frame_size) {
        msghdr message{};
        message.msg_iov = parts + first;
        message.msg_iovlen = 3 - first;
        ssize_t n = ::sendmsg(m_fd, &message, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (wait_for(POLLOUT, deadline_ms)) continue;
                if (sent_total > 0) m_broken = true;
                return Io::Timeout;
            }
            m_broken = true;
            return errno == EPIPE ? Io::Closed : Io::Failed;
        }
        size_t left = static_cast<size_t>(n);
        sent_total += left;
        deadline_ms = Clock::now_ms() + stall_ms;
        while (first < 3 && left >= parts[first].iov_len) {
            left -= parts[first].iov_len;
            ++first;
        }
        if (first < 3) {
            parts[first].iov_base = static_cast<uint8_t*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
    return Io::Ok;
}

} // namespace ovix
