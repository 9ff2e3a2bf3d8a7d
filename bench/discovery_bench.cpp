// One sweep over a simulated fleet of 1000 cameras: how long until the last camera is in the
// device table, and how many replies were lost. Runs inside the private network lab:
//     scripts/netlab.sh build/default/bench/discovery_bench [--short]
// A sweep that lists fewer than every camera ends the run: its time to the last device would
// be the time to some other device. --short sweeps once a case instead of five times.
#include "BenchMain.h"
#include "discovery/Discovery.h"
#include "sim/FleetGenerator.h"
#include "sim/NetLab.h"
#include "sim/SimFleet.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr size_t kFleetSize = 1000;
constexpr int kSweepLimitS = 10;

struct SweepCounter {
    std::atomic<size_t> new_devices{0};
    std::atomic<int64_t> last_ns{0};
};

uint32_t on_device(const DEV_INFO*, uint32_t flag, void* context) {
    auto* counter = static_cast<SweepCounter*>(context);
    if (flag == 1) {
        counter->new_devices.fetch_add(1);
        counter->last_ns.store(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    return 0;
}

// args: reply mode (0 unicast, 1 broadcast), reply spread in ms (0: every camera at once)
void BM_SweepOfThousandCameras(benchmark::State& state) {
    FleetConfig config;
    config.cameras = generate_cameras(kFleetSize);
    config.reply_mode = state.range(0) == 0 ? ReplyMode::Unicast : ReplyMode::Broadcast;
    config.reply_spread_ms = static_cast<int>(state.range(1));
    SimFleet fleet(config);
    if (!fleet.start()) {
        bench::fail(state, "the simulated fleet did not start (run inside scripts/netlab.sh)");
        return;
    }

    CDiscovery discovery;
    SweepCounter counter;
    discovery.SetDiscoveryCB(on_device, &counter);
    discovery.StartDiscovery(2147483647);
    std::this_thread::sleep_for(std::chrono::seconds(2));  // let the start sweep's replies settle

    size_t lost_total = 0;
    for (auto _ : state) {
        counter.new_devices = 0;
        auto start = std::chrono::steady_clock::now();
        discovery.RefreshDiscovery(nullptr);  // empties the table, then one sweep
        // Wait for the whole fleet, or until nothing more has come for a while.
        auto deadline = start + std::chrono::seconds(kSweepLimitS);
        while (counter.new_devices.load() < kFleetSize && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (counter.new_devices.load() < kFleetSize) std::this_thread::sleep_for(std::chrono::seconds(1));

        std::vector<DEV_INFO> table;
        int count = 0;
        discovery.GetDeviceList(table, count);
        lost_total += kFleetSize - std::min(kFleetSize, table.size());
        if (table.size() < kFleetSize) {
            bench::fail(state, "a sweep listed " + std::to_string(table.size()) + " of " + std::to_string(kFleetSize) +
                                   " cameras within " + std::to_string(kSweepLimitS + 1) + " s (" +
                                   (state.range(0) == 0 ? "unicast" : "broadcast") + " replies, spread over " +
                                   std::to_string(state.range(1)) + " ms)");
            break;
        }
        auto last = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(counter.last_ns.load()));
        state.SetIterationTime(std::chrono::duration<double>(last - start).count());
    }
    discovery.StopDiscovery();
    fleet.stop();
    if (state.error_occurred()) return;

    state.counters["listed"] = benchmark::Counter(static_cast<double>(kFleetSize) - static_cast<double>(lost_total) / static_cast<double>(state.iterations()));
    state.counters["lost"] = benchmark::Counter(static_cast<double>(lost_total) / static_cast<double>(state.iterations()));
}

} // namespace

int main(int argc, char** argv) {
    if (!inside_network_lab()) {
        std::fprintf(stderr, "discovery_bench broadcasts: run it inside scripts/netlab.sh\n");
        return 2;
    }
    const bool short_run = bench::take_flag(argc, argv, "--short");
    benchmark::RegisterBenchmark("BM_SweepOfThousandCameras", BM_SweepOfThousandCameras)
        ->ArgNames({"broadcast", "spread_ms"})
        ->Args({0, 0})
        ->Args({1, 0})
        ->Args({0, 1000})
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(short_run ? 1 : 5);
    return bench::run_benchmarks("discovery_bench", argc, argv);
}
