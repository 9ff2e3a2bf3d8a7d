#include "devsdk/protocol/DeviceConnection.h"

#include "devsdk/protocol/Timing.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ovix {

Io DeviceConnection::hello(const Nonce& nonce, uint16_t major) {
    return push(Kind::Hello, encode(Hello{major, kProtocolMinor, nonce}));
}

Io DeviceConnection::answer(const Frame& request, int32_t result, ByteView data) {
    Bytes head;
    ByteWriter(head).i32(result);
    std::lock_guard<std::mutex> lock(m_write_mutex);
    return stream.write(static_cast<uint16_t>(Kind::Result), request.id, head, data, kPeerSilenceMs);
}

Io DeviceConnection::push(Kind kind, ByteView payload, ByteView more) {
    std::lock_guard<std::mutex> lock(m_write_mutex);
    return stream.write(static_cast<uint16_t>(kind), 0, payload, more, kPeerSilenceMs);
}

void DeviceConnection::send_raw(ByteView bytes) {
    std::lock_guard<std::mutex> lock(m_write_mutex);
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(stream.fd(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        pollfd p{stream.fd(), POLLOUT, 0};
        if (n < 0 && (errno == EAGAIN || errno == EINTR) && ::poll(&p, 1, 1000) > 0) continue;
        return;
    }
}

void DeviceConnection::reset() {
    std::lock_guard<std::mutex> lock(m_write_mutex);
    linger l{1, 0};
    ::setsockopt(stream.fd(), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null_fd < 0) return;
    ::dup2(null_fd, stream.fd());
    ::close(null_fd);
}

} // namespace ovix
