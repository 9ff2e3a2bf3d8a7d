#include "sim/UdpSocket.h"

#include "foundation/Clock.h"
#include "sim/CameraSide.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

namespace {

// How long a full send queue is waited out before a datagram counts as lost.
constexpr int kSendAttempts = 200;
constexpr int64_t kSendRetryPauseMs = 1;

sockaddr_in to_sockaddr(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.address);
    address.sin_port = htons(endpoint.port);
    return address;
}

bool enable(int fd, int option) {
    int on = 1;
    return setsockopt(fd, SOL_SOCKET, option, &on, sizeof on) == 0;
}

} // namespace

UdpSocket::~UdpSocket() { close(); }

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_local(other.m_local), m_error(std::move(other.m_error)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_local = other.m_local;
        m_error = std::move(other.m_error);
    }
    return *this;
}

bool UdpSocket::open(Endpoint local) {
    close();
    m_local = local;
    int fd = -1;
    {
        const CameraSide side;
        fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    }
    if (fd < 0) {
        m_error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int on = 1;
    if (!enable(fd, SO_REUSEADDR) || !enable(fd, SO_BROADCAST) || setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
        m_error = std::string("setsockopt: ") + std::strerror(errno);
        ::close(fd);
        return false;
    }
    sockaddr_in address = to_sockaddr(local);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        m_error = "bind " + format_ipv4(local.address) + ":" + std::to_string(local.port) + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_error.clear();
    return true;
}

void UdpSocket::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool UdpSocket::send_to(const Endpoint& destination, const void* data, size_t length) {
    if (m_fd < 0) {
        m_error = "socket not open";
        return false;
    }
    sockaddr_in address = to_sockaddr(destination);
    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        ssize_t sent = sendto(m_fd, data, length, 0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (sent == static_cast<ssize_t>(length)) return true;
        if (sent >= 0) {
            m_error = "short send";
            return false;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS) break;
        Clock::sleep_ms(kSendRetryPauseMs);
    }
    m_error = "sendto " + format_ipv4(destination.address) + ":" + std::to_string(destination.port) + ": " + std::strerror(errno);
    return false;
}

long UdpSocket::receive(void* buffer, size_t capacity, Endpoint& source, uint32_t& destination) {
    sockaddr_in from{};
    iovec data{buffer, capacity};
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = recvmsg(m_fd, &message, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        m_error = std::string("recvmsg: ") + std::strerror(errno);
        return -1;
    }
    source.address = ntohl(from.sin_addr.s_addr);
    source.port = ntohs(from.sin_port);
    destination = m_local.address;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        destination = ntohl(info.ipi_addr.s_addr);
    }
    return static_cast<long>(got);
}
