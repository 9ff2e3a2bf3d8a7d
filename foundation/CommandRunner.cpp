#include "foundation/CommandRunner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kExtraSearchPath = "/usr/local/sbin:/usr/sbin:/sbin";

std::string find_program(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? std::string(path) + ":" + kExtraSearchPath : kExtraSearchPath;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

// The caller's environment with every locale variable replaced by the C locale.
std::vector<std::string> child_environment() {
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        std::string_view entry(*e);
        if (entry.starts_with("LC_") || entry.starts_with("LANG=") || entry.starts_with("LANGUAGE="))
            continue;
        env.emplace_back(entry);
    }
    env.emplace_back("LC_ALL=C");
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

int exit_code_of(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return kCommandNotStarted;
}

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

} // namespace

CommandResult SpawnCommandRunner::run(const std::vector<std::string>& argv) {
    CommandResult result{kCommandNotStarted, {}};
    if (argv.empty()) return result;
    std::string program = find_program(argv[0]);
    if (program.empty()) return result;

    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return result;
    Fd read_end(pipe_fds[0]);
    Fd write_end(pipe_fds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDERR_FILENO);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group, so that helpers it starts are killed with it at the limit.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);

    std::vector<std::string> args = argv;
    std::vector<std::string> env = child_environment();
    std::vector<char*> arg_ptrs = pointers(args);
    std::vector<char*> env_ptrs = pointers(env);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attr, arg_ptrs.data(), env_ptrs.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    write_end.reset();
    if (rc != 0) return result;

    // Wait for the program's end rather than for the end of its output: a helper it left
    // running may hold the pipe open long after it exited.
    // Through syscall(): the C library's wrapper is missing or undeclared for C++ on some systems.
    Fd exit_fd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_time_limit_ms);
    bool exited = false;
    bool output_open = true;
    while (!exited) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd fds[2] = {{read_end.get(), POLLIN, 0}, {exit_fd.get(), POLLIN, 0}};
        // Without a process descriptor (an old kernel) look at the process every 50 ms. The
        // limit guards against a stuck tool in real time, so it is not the system clock's.
        int timeout = static_cast<int>(exit_fd.get() >= 0 ? left.count() : std::min<int64_t>(left.count(), 50));
        int n = ::poll(output_open ? fds : fds + 1, output_open ? 2 : 1, timeout);
        if (n < 0 && errno != EINTR) break;
        if (output_open && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buffer[4096];
            ssize_t got = ::read(read_end.get(), buffer, sizeof buffer);
            if (got > 0)
                result.output.append(buffer, static_cast<size_t>(got));
            else if (got == 0 || errno != EINTR)
                output_open = false;
        }
        if (exit_fd.get() < 0 || (fds[1].revents & POLLIN)) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                result.exit_code = exit_code_of(status);
            }
        }
    }

    if (!exited) {
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        result.exit_code = kCommandTimedOut;
        return result;
    }
    // Whatever the program wrote before it ended is already in the pipe.
    // A helper still writing to the pipe cannot hold the caller past the limit.
    ::fcntl(read_end.get(), F_SETFL, O_NONBLOCK);
    char buffer[4096];
    ssize_t got;
    while (output_open && std::chrono::steady_clock::now() < deadline &&
           (got = ::read(read_end.get(), buffer, sizeof buffer)) > 0)
        result.output.append(buffer, static_cast<size_t>(got));
    return result;
}
