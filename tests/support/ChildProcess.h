#pragma once
// A built program run by a test as a user would run it: in a directory of the test's choosing,
// with standard output and error in files there, and extra environment variables. A child
// still running when the object goes is killed and reaped, so a failing test leaves none.
#include "foundation/Clock.h"
#include "support/TempFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace support {

class ChildProcess {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    // Output files are named relative to the directory; the environment is added to the test's own.
    ChildProcess(const std::string& path, const std::vector<std::string>& arguments, std::string directory = ".",
                 std::string output = "stdout.txt", std::string errors = "stderr.txt", const Environment& environment = {})
        : m_directory(std::move(directory)), m_output(std::move(output)), m_errors(std::move(errors)) {
        // Everything the child needs is built before fork: after it, only exec-safe calls.
        std::vector<std::string> argv_text{path};
        argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
        // The added variables first: a lookup takes the first of a name.
        std::vector<std::string> env_text;
        for (const auto& [name, value] : environment) env_text.push_back(name + "=" + value);
        for (char** e = environ; *e; ++e) env_text.emplace_back(*e);
        std::vector<char*> argv, envp;
        for (auto& a : argv_text) argv.push_back(a.data());
        for (auto& e : env_text) envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const std::string out = m_directory + "/" + m_output, err = m_directory + "/" + m_errors;

        m_pid = fork();
        if (m_pid < 0) throw std::runtime_error("fork failed");
        if (m_pid == 0) {
            const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out_fd < 0 || err_fd < 0 || dup2(out_fd, STDOUT_FILENO) < 0 || dup2(err_fd, STDERR_FILENO) < 0 ||
                chdir(m_directory.c_str()) != 0)
                _exit(126);
            execve(path.c_str(), argv.data(), envp.data());
            _exit(127);
        }
    }
    ~ChildProcess() {
        if (!m_status) {
            kill(m_pid, SIGKILL);
            reap(0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    std::string output() const { return file_text(m_directory + "/" + m_output); }
    std::string errors() const { return file_text(m_directory + "/" + m_errors); }

    bool running() { return !m_status && !reap(WNOHANG); }
    void signal(int number) const {
        if (!m_status) kill(m_pid, number);
    }
    // The exit code (128 + the signal for a program killed by one), once it has ended; nullopt
    // when it has not within the limit, which only keeps a hang from stalling the test.
    std::optional<int> wait(int64_t limit_ms = 600000) {
        const int64_t deadline = Clock::now_ms() + limit_ms;
        while (running()) {
            if (Clock::now_ms() > deadline) return std::nullopt;
            Clock::sleep_ms(10);
        }
        return m_status;
    }
    // Peak resident memory in KiB: of the ended program, or so far from /proc while it runs.
    long peak_memory_kb() const {
        if (m_status) return m_max_rss_kb;
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
        return 0;
    }

private:
    bool reap(int flags) {
        int status = 0;
        rusage usage{};
        if (wait4(m_pid, &status, flags, &usage) != m_pid) return false;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_max_rss_kb = usage.ru_maxrss;
        return true;
    }

    std::string m_directory, m_output, m_errors;
    pid_t m_pid = -1;
    std::optional<int> m_status;
    long m_max_rss_kb = 0;
};

} // namespace support
