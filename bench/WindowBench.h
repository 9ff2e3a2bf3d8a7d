#pragma once
// What the window benchmarks share: a fleetset-sim of their own, bounded waits that keep the
// window running, how late the window thread runs an event, and the program's peak resident
// memory.
#include "foundation/Clock.h"
#include "support/Eventually.h"
#include "support/TempFile.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace window_bench {

inline long peak_resident_kib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// System milliseconds that last `real_s` real seconds at the clock's speed.
inline int64_t system_ms(int real_s) {
    return static_cast<int64_t>(real_s * 1000 * Clock::speed());
}

// Keeps the window's events running while it waits; false when `done` did not hold within
// `limit_s` real seconds.
inline bool pump_until(const std::function<bool()>& done, int limit_s) {
    return support::eventually([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }, system_ms(limit_s));
}

// The simulator as a child process at the lowest CPU priority, as cameras are other
// machines: on two cores a fleet in the same process would be measured with the window.
// It inherits the environment (FLEETSET_TIME_SPEED among it) and standard error, writes its
// standard output to a file of its own, and ends with the object.
class SimProcess {
public:
    SimProcess(const char* program, const std::vector<std::string>& arguments) : m_dir("fleetset-bench-sim") {
        if (m_dir.path().empty()) return;
        m_output = m_dir.path() + "/stdout.txt";
        std::vector<std::string> words{"nice", "-n", "19", program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, m_output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawnp(&m_pid, "nice", &files, nullptr, argv.data(), environ) != 0) m_pid = 0;
        posix_spawn_file_actions_destroy(&files);
    }
    ~SimProcess() {
        if (m_pid == 0) return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Empty once the fleet says it answers, else why not within `limit_s` real seconds. The
    // simulator prints that line once every camera's sockets are bound, so a sweep from then
    // on is heard; a window that swept before would list none of them and never sweep again.
    std::string wait_until_answering(int limit_s) {
        if (m_pid == 0) return "fleetset-sim could not be started";
        const int64_t deadline = Clock::now_ms() + system_ms(limit_s);
        for (;;) {
            std::ifstream file(m_output);
            const std::string output{std::istreambuf_iterator<char>(file), {}};
            if (output.find(" answering") != std::string::npos) return {};
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = 0;
                const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return "fleetset-sim ended with exit code " + std::to_string(code) +
                       " before it answered (its own message is above)";
            }
            if (Clock::now_ms() > deadline)
                return "fleetset-sim did not answer within " + std::to_string(limit_s) + " s";
            Clock::sleep_ms(system_ms(1) / 20);  // every 50 real ms: the fleet is starting on the same cores
        }
    }

private:
    support::TempDir m_dir;
    std::string m_output;
    pid_t m_pid = 0;
};

// A prober thread posts an event every 2 ms stamped with its sending time; the window
// thread notes how late it runs it. The events go to an object of the window thread's own,
// so that events still queued when the probe ends are dropped with it.
class EventLatencyProbe {
public:
    struct Figures {
        double p50_ms = 0, p99_ms = 0, max_ms = 0;
        size_t events = 0;
    };

    EventLatencyProbe() : m_receiver(std::make_unique<QObject>()), m_prober([this] { probe(); }) {}
    ~EventLatencyProbe() { stop(); }
    EventLatencyProbe(const EventLatencyProbe&) = delete;
    EventLatencyProbe& operator=(const EventLatencyProbe&) = delete;

    // Ends the probing and runs the events already sent. Window thread.
    void stop() {
        if (!m_prober.joinable()) return;
        m_probing = false;
        m_prober.join();
        QCoreApplication::processEvents();
    }

    // After stop().
    Figures figures() const {
        std::vector<double> sorted = m_late_ms;
        std::sort(sorted.begin(), sorted.end());
        const auto at = [&](double q) {
            return sorted.empty() ? 0 : sorted[static_cast<size_t>(q * static_cast<double>(sorted.size() - 1))];
        };
        return Figures{at(0.5), at(0.99), at(1.0), sorted.size()};
    }

private:
    using Steady = std::chrono::steady_clock;

    void probe() {
        while (m_probing) {
            const Steady::time_point sent = Steady::now();
            QMetaObject::invokeMethod(m_receiver.get(), [this, sent] {
                m_late_ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - sent).count());
            }, Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::unique_ptr<QObject> m_receiver;
    std::vector<double> m_late_ms;  // window thread only
    std::atomic<bool> m_probing{true};
    std::thread m_prober;
};

} // namespace window_bench
