#include "sim/CameraSide.h"

#include "foundation/debug_log.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace {

// Opened once: the path names a process that holds the namespace for the lab's lifetime.
int cameras_namespace() {
    static const int fd = [] {
        const char* path = std::getenv("FLEETSET_LAB_CAMERAS");
        if (!path || !*path) return -1;
        int opened = ::open(path, O_RDONLY | O_CLOEXEC);
        if (opened < 0) debug_log("[sim] cameras' network namespace %s: %s\n", path, std::strerror(errno));
        return opened;
    }();
    return fd;
}

} // namespace

CameraSide::CameraSide() {
    const int cameras = cameras_namespace();
    if (cameras < 0) return;
    m_home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (m_home < 0) return;
    if (::setns(cameras, CLONE_NEWNET) != 0) {
        debug_log("[sim] cannot enter the cameras' network namespace: %s\n", std::strerror(errno));
        ::close(m_home);
        m_home = -1;
    }
}

CameraSide::~CameraSide() {
    if (m_home < 0) return;
    const int kept = errno;  // what the opening said, for the caller's message
    // Failing to return would leave this thread's later sockets on the wrong side of the lab.
    if (::setns(m_home, CLONE_NEWNET) != 0) std::abort();
    ::close(m_home);
    errno = kept;
}
