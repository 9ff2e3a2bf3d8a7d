#include "sim/FileLimit.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

uint64_t raise_open_file_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return limit.rlim_cur;
}

uint64_t open_file_limit() {
    rlimit limit{};
    return getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : 0;
}

SpareDescriptor::SpareDescriptor() : m_fd(::open("/dev/null", O_RDONLY | O_CLOEXEC)) {}

SpareDescriptor::~SpareDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
}

bool SpareDescriptor::refuse_one(int listen_fd) {
    if (m_fd >= 0) ::close(m_fd);
    const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) ::close(fd);
    m_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    return fd >= 0;
}
