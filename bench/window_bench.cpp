// The batch window with 1000 listed devices while a 100-worker job reports at full speed:
// how late the window thread handles an event (p50, p99) and the program's peak resident
// memory. The cameras are a fleetset-sim of their own at the lowest CPU priority, as
// cameras are other machines: on two cores an in-process fleet of 1000 would mostly measure
// the fleet.
//
//     scripts/netlab.sh build/default/bench/window_bench [--short]
//
// The window sweeps once when it opens, so it opens once the simulator says it answers. A
// fleet not listed whole, a job that does not end or a camera not upgraded ends the run with
// the reason. --short: 200 cameras and one 50-worker job, for CI.
#include "GiveUp.h"
#include "WindowBench.h"
#include "batch/StatusMarks.h"
#include "sim/NetLab.h"
#include "support/TempFile.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/fleetsetDlg.h"

#include <QApplication>
#include <QLineEdit>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace window_bench;

namespace {

struct Plan {
    size_t devices;
    int workers;
    int jobs;
};
constexpr Plan kFullPlan{1000, 100, 3};
constexpr Plan kShortPlan{200, 50, 1};

// Real seconds, far beyond what a working run takes: 1000 cameras start at the lowest priority.
constexpr int kAnswerLimitS = 60;
constexpr int kListLimitS = 20;
constexpr int kJobLimitS = 120;

struct Upgraded {
    int done = 0;
    std::string first_other;  // the MAC and message of the first row not done
};

Upgraded upgraded_rows(const DeviceTable& rows, int count) {
    Upgraded upgraded;
    for (size_t row = 0; row < static_cast<size_t>(count); ++row) {
        if (rows.cell(row, COL_MARK_UPGRADE) == kMarkDone)
            ++upgraded.done;
        else if (upgraded.first_other.empty())
            upgraded.first_other = rows.cell(row, COL_MAC) + ": \"" + rows.cell(row, COL_MESSAGE) + "\"";
    }
    return upgraded;
}

} // namespace

int main(int argc, char** argv) {
    if (!inside_network_lab()) {
        std::fprintf(stderr, "window_bench opens discovery sockets: run it inside scripts/netlab.sh\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Plan plan = kFullPlan;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--short") != 0) {
            std::fprintf(stderr, "usage: window_bench [--short]\n");
            return 2;
        }
        plan = kShortPlan;
    }
    // Fast enough that a job takes seconds; faster, and the workers' sped-up polls would
    // load the two cores more than any real job does.
    Clock::set_speed(10);
    setenv("FLEETSET_TIME_SPEED", "10", 1);
    support::Firmware firmware({2, 5, 0}, 64 * 1024);
    if (!firmware.ok) return bench::give_up("window_bench", "cannot write the firmware file");
    SimProcess sim(FLEETSET_SIM_PATH, {"--count", std::to_string(plan.devices), "--reboot-ms", "3000"});
    if (const std::string why = sim.wait_until_answering(kAnswerLimitS); !why.empty())
        return bench::give_up("window_bench", "%s", why.c_str());

    auto window = std::make_unique<CfleetsetDlg>();
    window->set_notice([](QWidget*, const QString&, const QString&, auto...) {});  // no box, whatever its icon
    window->show();
    if (!pump_until([&] { return window->devices().size() == plan.devices; }, kListLimitS))
        return bench::give_up("window_bench", "the window listed %zu of %zu cameras within %d s",
                              window->devices().size(), plan.devices, kListLimitS);
    window->control_as<QLineEdit>(batch_ids::FirmwarePathEdit)->setText(QString::fromStdString(firmware.path()));

    EventLatencyProbe probe;
    const auto start = std::chrono::steady_clock::now();
    for (int job = 1; job <= plan.jobs; ++job) {
        for (int row = 0; row < plan.workers; ++row) window->devices().set_checked(static_cast<size_t>(row), true);
        window->launch(batch_ids::UpgradeButton);
        if (!pump_until([&] { return !window->job_running(); }, kJobLimitS))
            return bench::give_up("window_bench", "job %d of %d had not ended after %d s", job, plan.jobs, kJobLimitS);
        if (const Upgraded upgraded = upgraded_rows(window->devices(), plan.workers); upgraded.done != plan.workers)
            return bench::give_up("window_bench", "job %d of %d upgraded %d of %d cameras; the first other, %s", job,
                                  plan.jobs, upgraded.done, plan.workers, upgraded.first_other.c_str());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    probe.stop();

    const EventLatencyProbe::Figures late = probe.figures();
    std::printf("window_bench: %zu devices listed, %d jobs of %d workers in %.1f s; event latency p50 %.2f ms, "
                "p99 %.2f ms, max %.2f ms over %zu events; peak resident memory %ld KiB\n",
                plan.devices, plan.jobs, plan.workers, seconds, late.p50_ms, late.p99_ms, late.max_ms, late.events,
                peak_resident_kib());
    window.reset();
    return 0;
}
