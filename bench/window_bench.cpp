// The batch window with 1000 listed devices while a 100-worker job reports at full speed:
// how late the window thread handles an event (p50, p99) and the program's peak resident
// memory. The cameras are a fleetset-sim of their own at the lowest CPU priority, as
// cameras are other machines: on two cores an in-process fleet of 1000 would mostly measure
// the fleet.
//
//     scripts/netlab.sh build/default/bench/window_bench
#include "sim/NetLab.h"
#include "support/Eventually.h"
#include "support/TempFile.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/fleetsetDlg.h"

#include <QApplication>
#include <QLineEdit>
#include <QMetaObject>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;
constexpr size_t kDevices = 1000;
constexpr int kWorkers = 100;
constexpr int kJobs = 3;

long peak_resident_kib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

bool pump_until(const std::function<bool()>& done) {
    return support::eventually([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    });
}

} // namespace

int main(int argc, char** argv) {
    if (!inside_network_lab()) {
        std::fprintf(stderr, "window_bench opens discovery sockets: run it inside scripts/netlab.sh\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Fast enough that a job takes seconds; faster, and the workers' sped-up polls would
    // load the two cores more than any real job does.
    Clock::set_speed(10);
    setenv("FLEETSET_TIME_SPEED", "10", 1);
    support::Firmware firmware({2, 5, 0}, 64 * 1024);
    const std::string count = std::to_string(kDevices);
    const char* sim_argv[] = {"nice", "-n", "19", FLEETSET_SIM_PATH, "--count", count.c_str(), "--reboot-ms", "3000",
                              nullptr};
    pid_t sim = 0;
    if (!firmware.ok || posix_spawnp(&sim, "nice", nullptr, nullptr, const_cast<char**>(sim_argv), environ) != 0)
        return 1;

    auto window = std::make_unique<CfleetsetDlg>();
    window->set_notice([](QWidget*, const QString&, const QString&) {});
    window->show();
    if (!pump_until([&] { return window->devices().size() == kDevices; })) return 1;
    window->control_as<QLineEdit>(batch_ids::FirmwarePathEdit)->setText(QString::fromStdString(firmware.path()));

    // A prober stamps an event every 2 ms; the window thread measures how late it runs it.
    std::vector<double> late_ms;
    std::atomic<bool> probing{true};
    std::thread prober([&] {
        while (probing) {
            const Steady::time_point sent = Steady::now();
            QMetaObject::invokeMethod(window.get(), [&late_ms, sent] {
                late_ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - sent).count());
            }, Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const Steady::time_point start = Steady::now();
    for (int job = 0; job < kJobs; ++job) {
        for (int row = 0; row < kWorkers; ++row) window->devices().set_checked(static_cast<size_t>(row), true);
        window->launch(batch_ids::UpgradeButton);
        pump_until([&] { return !window->job_running(); });
    }
    const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
    probing = false;
    prober.join();
    QCoreApplication::processEvents();

    std::sort(late_ms.begin(), late_ms.end());
    const auto at = [&](double q) { return late_ms.empty() ? 0 : late_ms[static_cast<size_t>(q * static_cast<double>(late_ms.size() - 1))]; };
    std::printf("window_bench: %zu devices listed, %d jobs of %d workers in %.1f s; event latency p50 %.2f ms, "
                "p99 %.2f ms, max %.2f ms over %zu events; peak resident memory %ld KiB\n",
                kDevices, kJobs, kWorkers, seconds, at(0.5), at(0.99), at(1.0), late_ms.size(), peak_resident_kib());
    window.reset();
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    return 0;
}
