// The factory test station's live view: one simulated camera streaming 25 pictures a second
// to the test window for a minute. The window is used as an operator uses it: the camera is
// found by discovery, the version typed in, the start button pressed; then the window runs
// its own event loop while the camera streams. Reports the pictures the camera numbered, those
// the view received and drew, how late the window thread handles an event (p50, p99, worst)
// and the program's peak resident memory. The camera is a fleetset-sim of its own at the
// lowest CPU priority, in real time.
//
//     scripts/netlab.sh build/default/bench/station_bench [--seconds N]
#include "WindowBench.h"
#include "foundation/Clock.h"
#include "sim/NetLab.h"
#include "support/TempFile.h"
#include "ui/ipctest/CIpcTest.h"
#include "ui/ipctest/IpcTestForm.h"
#include "ui/ipctest/IpcTestIds.h"
#include "ui/ipctest/VideoFrameView.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace window_bench;

namespace {

constexpr int kFrameRate = 25;
constexpr int kDefaultSeconds = 60;

// One test-station camera whose own picture rate is the one under test: the window asks for
// the camera's own rate.
const std::string kFleet = R"({"cameras": [{"mac_address": "00:1A:2B:00:00:01", "ip_address": "10.77.1.1",
    "device_type": 200, "admin_password": "tevoq", "frame_rate": )" + std::to_string(kFrameRate) + "}]}";

double cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The view's counters; received and lost together are the pictures the camera numbered.
struct Counts {
    uint64_t received = 0;
    uint64_t lost = 0;
    uint64_t drawn = 0;
};

Counts counts(const VideoFrameView& view) {
    return Counts{view.frames_received(), view.frames_lost(), view.frames_drawn()};
}

} // namespace

int main(int argc, char** argv) {
    if (!inside_network_lab()) {
        std::fprintf(stderr, "station_bench opens discovery sockets: run it inside scripts/netlab.sh\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int seconds = kDefaultSeconds;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            seconds = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: station_bench [--seconds N]   (default %d)\n", kDefaultSeconds);
            return 2;
        }
    }
    // The stream's rate is the measurement: the window and the camera both run in real time.
    Clock::set_speed(1);
    unsetenv("FLEETSET_TIME_SPEED");

    support::TempDir dir("station-bench");
    const std::string fleet_file = dir.write("fleet.json", kFleet);
    SimProcess sim(FLEETSET_SIM_PATH, {"--config", fleet_file});
    if (dir.path().empty() || !sim.started()) return 1;

    DiscoveryConfig discovery;
    discovery.trace_directory = dir.path();
    auto window = std::make_unique<CIpcTest>(nullptr, discovery);
    window->m_lang_ini = FLEETSET_LANG_INI;
    window->set_record_directory(dir.path());
    bool message_shown = false;
    window->set_message_box([&](QWidget*, const QString& text, const QString&, QMessageBox::Icon) {
        std::fprintf(stderr, "station_bench: the window says \"%s\"\n", text.toStdString().c_str());
        message_shown = true;
    });
    window->show();
    VideoFrameView& view = *window->form().video;
    if (!pump_until([&] { return window->form().devlist->topLevelItemCount() == 1; })) return 1;
    window->control_as<QLineEdit>(ipctest_ids::VersionEdit)->setText("2.4.1");
    window->control_as<QPushButton>(ipctest_ids::StartButton)->click();
    if (!pump_until([&] { return (window->session_idle() && view.frames_drawn() > 0) || message_shown; }) ||
        message_shown) {
        std::fprintf(stderr, "station_bench: no live picture\n");
        return 1;
    }

    const Counts before = counts(view);
    const double cpu_before = cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    EventLatencyProbe probe;
    // The window's own event loop, as when an operator watches the picture. A precise timer:
    // a coarse one may end a minute up to 5% late.
    QEventLoop watching;
    QTimer::singleShot(std::chrono::seconds(seconds), Qt::PreciseTimer, &watching, &QEventLoop::quit);
    watching.exec();
    const Counts after = counts(view);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpu_seconds() - cpu_before;
    probe.stop();

    const EventLatencyProbe::Figures late = probe.figures();
    const auto delta = [](uint64_t to, uint64_t from) { return static_cast<unsigned long long>(to - from); };
    const unsigned long long received = delta(after.received, before.received);
    const unsigned long long lost = delta(after.lost, before.lost);
    std::printf("station_bench: %.2f s of live view from a camera at %d pictures a second: camera sent %llu, "
                "view received %llu, drew %llu, lost %llu; event latency p50 %.2f ms, p99 %.2f ms, max %.2f ms "
                "over %zu events; CPU %.2f s; peak resident memory %ld KiB\n",
                elapsed, kFrameRate, received + lost, received, delta(after.drawn, before.drawn), lost, late.p50_ms,
                late.p99_ms, late.max_ms, late.events, cpu, peak_resident_kib());
    window->close();
    window.reset();
    return 0;
}
