// The batch window with 1000 listed devices while a 100-worker job reports at full speed:
// how late the window thread handles an event (p50, p99) and the program's peak resident
// memory. The cameras are a fleetset-sim of their own at the lowest CPU priority, as
// cameras are other machines: on two cores an in-process fleet of 1000 would mostly measure
// the fleet.
//
//     scripts/netlab.sh build/default/bench/window_bench
#include "WindowBench.h"
#include "sim/NetLab.h"
#include "support/TempFile.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/fleetsetDlg.h"

#include <QApplication>
#include <QLineEdit>

#include <chrono>
#include <cstdio>
#include <string>

using namespace window_bench;

namespace {

constexpr size_t kDevices = 1000;
constexpr int kWorkers = 100;
constexpr int kJobs = 3;

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
    SimProcess sim(FLEETSET_SIM_PATH, {"--count", std::to_string(kDevices), "--reboot-ms", "3000"});
    if (!firmware.ok || !sim.started()) return 1;

    auto window = std::make_unique<CfleetsetDlg>();
    window->set_notice([](QWidget*, const QString&, const QString&) {});
    window->show();
    if (!pump_until([&] { return window->devices().size() == kDevices; })) return 1;
    window->control_as<QLineEdit>(batch_ids::FirmwarePathEdit)->setText(QString::fromStdString(firmware.path()));

    EventLatencyProbe probe;
    const auto start = std::chrono::steady_clock::now();
    for (int job = 0; job < kJobs; ++job) {
        for (int row = 0; row < kWorkers; ++row) window->devices().set_checked(static_cast<size_t>(row), true);
        window->launch(batch_ids::UpgradeButton);
        pump_until([&] { return !window->job_running(); });
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    probe.stop();

    const EventLatencyProbe::Figures late = probe.figures();
    std::printf("window_bench: %zu devices listed, %d jobs of %d workers in %.1f s; event latency p50 %.2f ms, "
                "p99 %.2f ms, max %.2f ms over %zu events; peak resident memory %ld KiB\n",
                kDevices, kJobs, kWorkers, seconds, late.p50_ms, late.p99_ms, late.max_ms, late.events,
                peak_resident_kib());
    window.reset();
    return 0;
}
