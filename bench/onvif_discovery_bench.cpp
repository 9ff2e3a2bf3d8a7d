// 1000 simulated ONVIF cameras: how long from the first probe until the last camera is listed,
// and how many were lost; then, with credentials, how long until the last one's firmware
// version is read, 100 at a time. Runs inside the private network lab:
//     scripts/netlab.sh build/default/bench/onvif_discovery_bench [--short]
// The cameras answer within WS-Discovery's APP_MAX_DELAY (500 ms) of a probe, so the listing
// target is that window plus 1 s; the reading target is 5 s. A run that lists or reads fewer
// than every camera gives up: its time to the last camera would be the time to some other one.
#include "BenchMain.h"
#include "onvif/CameraReader.h"
#include "onvif/WsdProber.h"
#include "sim/FleetGenerator.h"
#include "sim/NetLab.h"
#include "sim/SimFleet.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr size_t kFleetSize = 1000;
constexpr int64_t kListLimitMs = 10000;
constexpr const char* kPassword = "bench-pass";

using Steady = std::chrono::steady_clock;

double seconds_since(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

FleetConfig onvif_fleet() {
    FleetConfig config;
    config.cameras = generate_cameras(kFleetSize);
    for (CameraConfig& camera : config.cameras) {
        camera.device.onvif.protocols = CameraProtocols::Onvif;
        camera.device.users.front().password = kPassword;
    }
    return config;
}

// Probes until every camera is in the table or the limit passes; the cameras heard.
std::vector<onvif::OnvifCamera> list_fleet(Steady::time_point& last_heard) {
    onvif::ProberConfig config;
    config.local_addresses = [] { return std::vector<std::string>{"10.77.0.1"}; };
    onvif::WsdProber prober(config);
    if (!prober.start()) return {};
    const Steady::time_point start = Steady::now();
    size_t heard = 0;
    last_heard = start;
    while (heard < kFleetSize && Steady::now() - start < std::chrono::milliseconds(kListLimitMs)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const size_t now_heard = prober.cameras().size();
        if (now_heard != heard) last_heard = Steady::now();
        heard = now_heard;
    }
    std::vector<onvif::OnvifCamera> cameras = prober.cameras();
    prober.stop();
    return cameras;
}

void BM_ListThousandOnvifCameras(benchmark::State& state) {
    SimFleet fleet(onvif_fleet());
    if (!fleet.start()) {
        bench::fail(state, "the simulated fleet did not start (run inside scripts/netlab.sh)");
        return;
    }
    for (auto _ : state) {
        const Steady::time_point start = Steady::now();
        Steady::time_point last_heard;
        const size_t listed = list_fleet(last_heard).size();
        if (listed < kFleetSize) {
            bench::fail(state, "listed " + std::to_string(listed) + " of " + std::to_string(kFleetSize) +
                                   " ONVIF cameras within " + std::to_string(kListLimitMs / 1000) + " s");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(last_heard - start).count());
        state.counters["lost"] = static_cast<double>(kFleetSize - listed);
    }
    fleet.stop();
}

void BM_ReadThousandOnvifVersions(benchmark::State& state) {
    SimFleet fleet(onvif_fleet());
    if (!fleet.start()) {
        bench::fail(state, "the simulated fleet did not start (run inside scripts/netlab.sh)");
        return;
    }
    for (auto _ : state) {
        const Steady::time_point start = Steady::now();
        Steady::time_point last_heard;
        std::vector<onvif::OnvifCamera> cameras = list_fleet(last_heard);
        if (cameras.size() < kFleetSize) {
            bench::fail(state, "listed " + std::to_string(cameras.size()) + " of " + std::to_string(kFleetSize) +
                                   " ONVIF cameras before reading them");
            break;
        }
        onvif::read_cameras(cameras, {true, "Admin", kPassword}, [] { return false; });
        state.SetIterationTime(seconds_since(start));
        size_t read = 0;
        for (const onvif::OnvifCamera& camera : cameras)
            if (camera.reading == onvif::Reading::ok && !camera.information.firmware_version.empty()) ++read;
        if (read < kFleetSize) {
            bench::fail(state, "read the version of " + std::to_string(read) + " of " + std::to_string(kFleetSize) +
                                   " ONVIF cameras");
            break;
        }
        state.counters["read"] = static_cast<double>(read);
    }
    fleet.stop();
}

} // namespace

int main(int argc, char** argv) {
    if (!inside_network_lab()) {
        std::fprintf(stderr, "onvif_discovery_bench sends multicast: run it inside scripts/netlab.sh\n");
        return 2;
    }
    const bool short_run = bench::take_flag(argc, argv, "--short");
    using Case = void (*)(benchmark::State&);
    const std::pair<const char*, Case> cases[] = {{"BM_ListThousandOnvifCameras", BM_ListThousandOnvifCameras},
                                                  {"BM_ReadThousandOnvifVersions", BM_ReadThousandOnvifVersions}};
    for (const auto& [name, function] : cases)
        benchmark::RegisterBenchmark(name, function)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(short_run ? 1 : 5);
    return bench::run_benchmarks("onvif_discovery_bench", argc, argv);
}
