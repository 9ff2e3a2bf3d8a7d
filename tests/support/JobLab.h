#pragma once
// The batch job engine against a simulated fleet inside the network lab: discovery feeds the
// device rows, reports go to a receiver thread of their own, the clock runs fast.
#include "batch/BatchJob.h"
#include "batch/NeighbourCache.h"
#include "devsdk/ovix_client.h"
#include "discovery/Discovery.h"
#include "sim/FleetGenerator.h"
#include "sim/SimFleet.h"
#include "support/Eventually.h"
#include "support/ReportLog.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace support {

// Step inputs as plain values. With drift set, every read of the time zone gives a new
// value, to show which reads a job makes.
struct PlainInputs : StepInputs {
    std::string logo, command, uid, password, max_channel = "11", default_channel = "Auto";
    std::string ip, mask, gateway_ip;
    int time_zone = 12, time_format = 0, video_standard = 1, language = 0;
    bool dhcp = false;
    bool drift = false;
    mutable std::atomic<int> time_zone_reads{0};

    std::string logo_file() const override { return logo; }
    std::string command_text() const override { return command; }
    std::string uid_text() const override { return uid; }
    int time_zone_index() const override { return time_zone + (drift ? time_zone_reads++ : 0); }
    int time_format_index() const override { return time_format; }
    int video_standard_index() const override { return video_standard; }
    int language_index() const override { return language; }
    bool dhcp_enabled() const override { return dhcp; }
    std::string default_password() const override { return password; }
    std::string max_wifi_channel() const override { return max_channel; }
    std::string default_wifi_channel() const override { return default_channel; }
    std::string fixed_ip() const override { return ip; }
    std::string subnet_mask() const override { return mask; }
    std::string gateway() const override { return gateway_ip; }
};

struct CountingNeighbours : NeighbourCache {
    std::atomic<int> flushes{0};
    std::function<void()> on_flush;
    bool flush(const std::string&) override {
        if (on_flush) on_flush();
        ++flushes;
        return true;
    }
};

// A camera's answer `result` to `request` (and `command`, -1: any) from its nth time on, `count` times.
inline SdkFaultRule answer(const char* request, int32_t result, uint32_t nth = 1, uint32_t count = 1000,
                           int32_t command = -1) {
    return SdkFaultRule{request, command, result, nth, count, 0};
}

inline bool has(const std::vector<uint32_t>& codes, uint32_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// A fleet of `count` default cameras (10.77.1.1 upward), each adjusted before the start.
inline FleetConfig job_fleet(size_t count, const std::function<void(CameraConfig&)>& adjust = {}) {
    FleetConfig config;
    config.cameras = generate_cameras(count);
    for (CameraConfig& camera : config.cameras) {
        camera.device.reboot_ms = 3000;
        if (adjust) adjust(camera);
    }
    return config;
}

class JobLab {
public:
    explicit JobLab(const FleetConfig& config, double speed = 50) : fleet(config) {
        Clock::set_speed(speed);
        Network_ClientInit();
    }
    ~JobLab() {
        stop();
        discovery.StopDiscovery();
        fleet.stop();
        Network_ClientUnInit();
        Clock::set_speed(1.0);
    }

    // Starts the fleet and discovery; true once every camera is listed.
    bool start() {
        if (!fleet.start()) return false;
        discovery.SetDiscoveryCB(&JobLab::on_device, this);
        discovery.StartDiscovery(2147483647);
        return eventually([&] { return devices.size() == fleet.size(); }, 60000);
    }

    // Every listed row, with new addresses from `new_ip` when given.
    JobLaunch launch(const JobSteps& steps, const std::function<std::string(int row)>& new_ip = {}) {
        JobLaunch launch;
        launch.steps = steps;
        launch.user = "Admin";
        for (int row = 0; row < static_cast<int>(devices.size()); ++row)
            launch.devices.push_back({row, new_ip ? new_ip(row) : std::string()});
        return launch;
    }

    // Runs the job to its end; false when it never ended.
    bool run(const JobLaunch& launch) {
        log.clear();
        log.channel().open();
        const int workers = job.start_job(launch);
        if (workers != static_cast<int>(launch.devices.size())) return false;
        // The job's end report follows the last device's: a job that ran to its end has two.
        return eventually([&] {
            return log.count(REPORT_DEVICE_DONE) == launch.devices.size() && log.count(REPORT_JOB_STATE) == 2;
        });
    }
    void stop() {
        log.channel().close();
        job.stop();
    }

    SimCamera& camera_of(int row) { return *fleet.camera(devices.cell(static_cast<size_t>(row), COL_MAC)); }

    SimFleet fleet;
    CDiscovery discovery;
    DeviceTable devices;
    PlainInputs inputs;
    CountingNeighbours neighbours;
    ReportLog log;
    BatchJob job{discovery, devices, inputs, log.channel(), neighbours};

private:
    static uint32_t on_device(const DEV_INFO* record, uint32_t flag, void* context) {
        static_cast<JobLab*>(context)->devices.update_dev_find_list(*record, flag == 1, "");
        return 0;
    }
};

} // namespace support
