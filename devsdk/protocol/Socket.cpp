#include "devsdk/protocol/Socket.h"

#include "foundation/Clock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ovix {

namespace {

bool make_address(const std::string& ip, int32_t port, sockaddr_in& out) {
    if (port < 0 || port > 65535) return false;
    out = {};
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<uint16_t>(port));
    return inet_pton(AF_INET, ip.c_str(), &out.sin_addr) == 1;
}

int new_socket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

} // namespace

int poll_timeout(int64_t deadline_ms) {
    int64_t left = deadline_ms - Clock::now_ms();
    if (left <= 0) return 0;
    int64_t real = Clock::real_ms(left);
    if (real < 1) real = 1;
    return real > INT_MAX ? INT_MAX : static_cast<int>(real);
}

int tcp_connect(const std::string& ip, int32_t port, int64_t deadline_ms, int* error) {
    int dummy = 0;
    if (!error) error = &dummy;
    sockaddr_in address;
    if (!make_address(ip, port, address)) {
        *error = EINVAL;
        return -1;
    }
    int fd = new_socket();
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    if (errno != EINPROGRESS) {
        *error = errno;
        ::close(fd);
        return -1;
    }
    for (;;) {
        pollfd p{fd, POLLOUT, 0};
        int timeout = poll_timeout(deadline_ms);
        if (timeout == 0) {
            *error = ETIMEDOUT;
            ::close(fd);
            return -1;
        }
        int n = ::poll(&p, 1, timeout);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *error = errno;
            ::close(fd);
            return -1;
        }
        if (n == 0) continue;  // the loop re-reads the deadline
        int so_error = 0;
        socklen_t len = sizeof so_error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len);
        if (so_error != 0) {
            *error = so_error;
            ::close(fd);
            return -1;
        }
        return fd;
    }
}

int tcp_listen(const std::string& ip, uint16_t port, int backlog) {
    sockaddr_in address;
    if (!make_address(ip, port, address)) return -1;
    int fd = new_socket();
    if (fd < 0) return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int tcp_accept(int listen_fd, int64_t deadline_ms) {
    for (;;) {
        int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return fd;
        }
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        int timeout = poll_timeout(deadline_ms);
        if (timeout == 0) return -1;
        pollfd p{listen_fd, POLLIN, 0};
        if (::poll(&p, 1, timeout) < 0 && errno != EINTR) return -1;
    }
}

uint16_t local_port(int fd) {
    sockaddr_in address{};
    socklen_t len = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len) != 0) return 0;
    return ntohs(address.sin_port);
}

void close_with_reset(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

} // namespace ovix
