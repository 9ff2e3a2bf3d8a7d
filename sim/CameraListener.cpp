#include "sim/CameraListener.h"

#include "devsdk/protocol/Socket.h"
#include "foundation/debug_log.h"
#include "sim/CameraSide.h"

#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

constexpr int kBacklog = 128;

} // namespace

bool CameraListener::place(int epoll, uint64_t key, const std::string& ip, uint16_t port, const std::string& mac,
                           const char* what) {
    if (m_fd >= 0 && m_ip == ip && m_port == port) return false;
    const bool moved = close(epoll);
    {
        const CameraSide side;
        m_fd = ovix::tcp_listen(ip, port, kBacklog);
    }
    if (m_fd < 0) {
        const std::string where = ip + ":" + std::to_string(port);
        if (m_failed != where) debug_log("[sim] camera %s: no %s listener on %s: %s\n", mac.c_str(), what, where.c_str(), std::strerror(errno));
        m_failed = where;
        return moved;
    }
    m_failed.clear();
    m_ip = ip;
    m_port = port;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = key;
    epoll_ctl(epoll, EPOLL_CTL_ADD, m_fd, &event);
    return moved;
}

bool CameraListener::close(int epoll) {
    if (m_fd < 0) return false;
    epoll_ctl(epoll, EPOLL_CTL_DEL, m_fd, nullptr);
    ::close(m_fd);
    m_fd = -1;
    return true;
}
