#pragma once
// What the window benchmarks share: a fleetset-sim of their own, how late the window thread
// runs an event, and the program's peak resident memory.
#include "support/Eventually.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
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

// Keeps the window's events running while it waits.
inline bool pump_until(const std::function<bool()>& done) {
    return support::eventually([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    });
}

// The simulator as a child process at the lowest CPU priority, as cameras are other
// machines: on two cores a fleet in the same process would be measured with the window.
// It inherits the environment (FLEETSET_TIME_SPEED among it) and ends with the object.
class SimProcess {
public:
    SimProcess(const char* program, const std::vector<std::string>& arguments) {
        std::vector<std::string> words{"nice", "-n", "19", program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, "nice", nullptr, nullptr, argv.data(), environ) != 0) m_pid = 0;
    }
    ~SimProcess() {
        if (m_pid == 0) return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool started() const { return m_pid != 0; }

private:
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
