#include "sim/FleetGenerator.h"

#include "sim/Ipv4.h"

#include <array>
#include <cstdio>
#include <numeric>
#include <stdexcept>
#include <string>
#include <unordered_set>

namespace {

bool usable_host_part(uint32_t address) {
    const uint32_t last = address & 0xFFu;
    return last != 0 && last != 255;
}

std::string generated_mac(uint32_t serial) {
    char text[18];
    std::snprintf(text, sizeof text, "00:1A:2B:%02X:%02X:%02X", (serial >> 16) & 0xFFu, (serial >> 8) & 0xFFu, serial & 0xFFu);
    return text;
}

// splitmix64: unlike the standard library's shuffles, the same on every platform.
uint64_t next_random(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

size_t share(size_t count, size_t percent) {
    return (count * percent + 50) / 100;
}

} // namespace

size_t max_generated_cameras() {
    static const size_t count = [] {
        size_t usable = 0;
        for (uint32_t a = kFirstGeneratedAddress; a <= kLastGeneratedAddress; ++a) usable += usable_host_part(a) ? 1 : 0;
        return usable;
    }();
    return count;
}

std::vector<CameraConfig> generate_cameras(size_t count, const std::vector<CameraConfig>& existing) {
    std::unordered_set<std::string> macs, addresses;
    for (const CameraConfig& camera : existing) {
        macs.insert(camera.mac_address);
        addresses.insert(camera.ip_address);
    }
    std::vector<CameraConfig> cameras;
    cameras.reserve(count);
    uint32_t serial = 1;
    uint32_t address = kFirstGeneratedAddress;
    while (cameras.size() < count) {
        while (address <= kLastGeneratedAddress && (!usable_host_part(address) || addresses.count(format_ipv4(address)))) ++address;
        if (address > kLastGeneratedAddress)
            throw std::length_error("at most " + std::to_string(max_generated_cameras()) + " generated cameras fit 10.77.1.1-10.77.255.254");
        while (macs.count(generated_mac(serial))) ++serial;
        CameraConfig camera;
        camera.mac_address = generated_mac(serial++);
        camera.ip_address = format_ipv4(address++);
        cameras.push_back(std::move(camera));
    }
    return cameras;
}

void apply_demo_mix(std::vector<CameraConfig>& cameras) {
    static constexpr std::array<int32_t, 6> kDeviceTypes{1, 2, 19, 200, 201, 233};
    static constexpr std::array<int32_t, 3> kBoardTypes{0x3516, 0x3518, 0x3559};
    static constexpr std::array<const char*, 4> kVersions{"2.4.1", "2.4.3", "3.0.0-rc2", "1.9.12"};
    for (size_t i = 0; i < cameras.size(); ++i) {
        CameraConfig& camera = cameras[i];
        camera.device_type = kDeviceTypes[i % kDeviceTypes.size()];
        camera.ipc_type = static_cast<int32_t>(1 + i % 3);
        camera.board_type = kBoardTypes[i % kBoardTypes.size()];
        camera.software_ver = kVersions[i % kVersions.size()];
        if (i % 5 == 4) {
            camera.cmd_port = 7001;
            camera.media_port = 7002;
            camera.phone_port = 7003;
            camera.http_port = 8080;
        }
        // Every third camera speaks ONVIF as well, and every sixth ONVIF alone.
        if (i % 3 == 1) camera.device.onvif.protocols = CameraProtocols::Both;
        if (i % 6 == 2) camera.device.onvif.protocols = CameraProtocols::Onvif;
        if (i == 3) camera.faults.reply_delay_ms = 800;
        if (i == 5) camera.software_ver.clear();
    }
}

void apply_fault_mix(std::vector<CameraConfig>& cameras, uint64_t seed) {
    std::vector<size_t> order(cameras.size());
    std::iota(order.begin(), order.end(), size_t{0});
    uint64_t state = seed;
    for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[next_random(state) % i]);

    const size_t busy = share(cameras.size(), 10), dropping = share(cameras.size(), 5), lost = share(cameras.size(), 2),
                 old_version = share(cameras.size(), 2);
    // The ONVIF faults only add to the SDK ones, and the last group is of ONVIF cameras alone,
    // so that a fleet of our cameras gets the very mix it always had.
    const auto onvif = [](CameraConfig& camera) -> OnvifFaults* {
        return speaks_onvif(camera.device.onvif.protocols) ? &camera.device.onvif.faults : nullptr;
    };
    size_t next = 0;
    for (const size_t end = busy; next < end; ++next) {
        CameraConfig& camera = cameras[order[next]];
        for (const char* request : {"set_config", "device_control"})
            camera.device.faults.answers.push_back(SdkFaultRule{request, -1, 17, 0, 1, 0.3});
        if (OnvifFaults* f = onvif(camera)) f->busy_probability = 0.3;
    }
    for (const size_t end = next + dropping; next < end; ++next) {
        CameraConfig& camera = cameras[order[next]];
        camera.device.faults.upgrade_drop_percent = 50;
        if (OnvifFaults* f = onvif(camera)) f->upload_abandon_percent = 50;
    }
    for (const size_t end = next + lost; next < end; ++next) cameras[order[next]].device.faults.reboot_never_returns = true;
    for (const size_t end = next + old_version; next < end; ++next)
        if (onvif(cameras[order[next]])) cameras[order[next]].device.faults.upgrade_install_fails = true;
}
