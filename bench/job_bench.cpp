// The batch job engine upgrading a simulated fleet in the lab: time from launch to the last
// end report against the floor that the job's fixed waits and the transfer itself set.
//
//     scripts/netlab.sh build/default/bench/job_bench [--short]
// A round in which a camera was not listed, not upgraded or not ended in time ends the run.
// --short: one round of 20 cameras and a 4 MiB image instead of two rounds of 100 and 16 MiB.
#include "BenchMain.h"
#include "sim/NetLab.h"
#include "support/JobLab.h"
#include "support/TempFile.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace {

using Steady = std::chrono::steady_clock;

constexpr double kSpeed = 10;
// Waits after the transfer that every device goes through: the camera drops its login
// 1 s after it has the file, the reboot wait is 4 x 10 s, then a random pause below 5 s
// before the first login after it.
constexpr double kWaitsAfterTransferMs = 1000 + 40000 + 5000;
// Real seconds before a round gives up: far beyond what a working round takes.
constexpr int kListLimitS = 30;
constexpr int kJobLimitS = 120;

int64_t system_ms(int real_s) {
    return static_cast<int64_t>(real_s * 1000 * Clock::speed());
}

// Records when the last transfer ended and when the last device ended; never waits.
class TimingSink : public JobReportSink {
public:
    void post_report(ReportKind kind, uint32_t payload) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (kind == REPORT_STATUS && report_low(payload) == ST_WAIT_REBOOT) last_transfer = Steady::now();
        if (kind == REPORT_STATUS && report_low(payload) == ST_UPGRADE_OK) ++upgraded;
        if (kind == REPORT_DEVICE_DONE) ++ended;
    }
    void send_report(ReportKind kind, uint32_t payload) override { post_report(kind, payload); }
    int ended_count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return ended;
    }
    int upgraded_count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return upgraded;
    }

    std::mutex m_mutex;
    Steady::time_point last_transfer;
    int ended = 0;
    int upgraded = 0;
};

void BM_UpgradeJob(benchmark::State& state) {
    const size_t devices = static_cast<size_t>(state.range(0));
    const uint64_t image = static_cast<uint64_t>(state.range(1)) << 20;
    Clock::set_speed(kSpeed);
    Network_ClientInit();
    support::Firmware firmware({2, 5, 0}, image);
    SimFleet fleet(support::job_fleet(devices, [](CameraConfig& c) { c.device.reboot_ms = 20000; }));
    if (!firmware.ok || !fleet.start()) {
        bench::fail(state, "no firmware file or no fleet (run inside scripts/netlab.sh)");
        return;
    }
    double ratio_sum = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CDiscovery discovery;
        DeviceTable rows;
        discovery.SetDiscoveryCB(
            [](const DEV_INFO* record, uint32_t flag, void* context) -> uint32_t {
                static_cast<DeviceTable*>(context)->update_dev_find_list(*record, flag == 1, "");
                return 0;
            },
            &rows);
        discovery.StartDiscovery(2147483647);
        if (!support::eventually([&] { return rows.size() == devices; }, system_ms(kListLimitS))) {
            discovery.StopDiscovery();
            bench::fail(state, "discovery listed " + std::to_string(rows.size()) + " of " + std::to_string(devices) +
                                   " cameras within " + std::to_string(kListLimitS) + " s");
            break;
        }
        support::PlainInputs inputs;
        support::CountingNeighbours neighbours;
        TimingSink sink;
        BatchJob job(discovery, rows, inputs, sink, neighbours);
        JobLaunch launch;
        launch.steps.need_update = 1;
        launch.upgrade_file = firmware.path();
        launch.user = "Admin";
        for (size_t row = 0; row < devices; ++row) launch.devices.push_back({static_cast<int>(row), ""});
        // Every camera back on the old version for the next round.
        for (SimCamera* camera : fleet.cameras())
            camera->update([](CameraView& view) { view.current.software_ver = "2.4.1"; });
        state.ResumeTiming();

        const Steady::time_point start = Steady::now();
        job.start_job(launch);
        const bool ended =
            support::eventually([&] { return sink.ended_count() == static_cast<int>(devices); }, system_ms(kJobLimitS));
        const Steady::time_point end = Steady::now();
        const int upgraded = sink.upgraded_count();
        if (!ended || upgraded != static_cast<int>(devices)) {
            job.stop();
            discovery.StopDiscovery();
            const std::string of = " of " + std::to_string(devices);
            bench::fail(state, ended ? std::to_string(upgraded) + of + " devices upgraded; the others failed"
                                     : std::to_string(sink.ended_count()) + of + " devices ended within " +
                                           std::to_string(kJobLimitS) + " s (" + std::to_string(upgraded) +
                                           " upgraded)");
            break;
        }

        state.PauseTiming();
        const double took_ms = std::chrono::duration<double, std::milli>(end - start).count();
        const double floor_ms = std::chrono::duration<double, std::milli>(sink.last_transfer - start).count() +
                                kWaitsAfterTransferMs / kSpeed;
        ratio_sum += took_ms / floor_ms;
        state.counters["upgraded"] = upgraded;
        state.counters["floor_ms"] = floor_ms;
        state.counters["system_s"] = took_ms * kSpeed / 1000;
        discovery.StopDiscovery();
        state.ResumeTiming();
    }
    if (!state.error_occurred()) state.counters["vs_floor"] = ratio_sum / static_cast<double>(state.iterations());
    fleet.stop();
    Network_ClientUnInit();
}

} // namespace

int main(int argc, char** argv) {
    if (!inside_network_lab()) {
        std::fprintf(stderr, "job_bench opens discovery sockets: run it inside scripts/netlab.sh\n");
        return 2;
    }
    const bool short_run = bench::take_flag(argc, argv, "--short");
    // args: devices, image MiB
    benchmark::RegisterBenchmark("BM_UpgradeJob", BM_UpgradeJob)
        ->ArgNames({"devices", "MiB"})
        ->Args({short_run ? 20 : 100, short_run ? 4 : 16})
        ->Unit(benchmark::kMillisecond)
        ->Iterations(short_run ? 1 : 2);
    return bench::run_benchmarks("job_bench", argc, argv);
}
