// The default fleet behind --count and --demo-mix.
#include "sim/FleetGenerator.h"
#include "sim/Ipv4.h"

#include <gtest/gtest.h>

#include <set>

TEST(FleetGenerator, CountGivesUniqueMacsAndAddressesInsideTheLab) {
    const auto cameras = generate_cameras(600);  // crosses two /24 boundaries
    EXPECT_EQ(cameras[0].mac_address, "00:1A:2B:00:00:01");
    EXPECT_EQ(cameras[0].ip_address, "10.77.1.1");
    EXPECT_EQ(cameras[254].ip_address, "10.77.2.1");
    EXPECT_EQ(cameras[255].mac_address, "00:1A:2B:00:01:00");
    std::set<std::string> macs, addresses;
    for (const CameraConfig& camera : cameras) {
        macs.insert(camera.mac_address);
        addresses.insert(camera.ip_address);
        const uint32_t address = parse_ipv4(camera.ip_address).value_or(0);
        EXPECT_EQ(address >> 16, (10u << 8) | 77u) << camera.ip_address;
        EXPECT_TRUE((address & 0xFFu) != 0 && (address & 0xFFu) != 255) << camera.ip_address;
        EXPECT_EQ(camera.gateway, "10.77.0.254");
    }
    EXPECT_EQ(macs.size(), 600u);
    EXPECT_EQ(addresses.size(), 600u);

    EXPECT_EQ(generate_cameras(max_generated_cameras()).back().ip_address, "10.77.255.254");
    EXPECT_THROW(generate_cameras(max_generated_cameras() + 1), std::length_error);
}

TEST(FleetGenerator, DemoMixHasVarietyAndOneCameraTheToolRejects) {
    auto cameras = generate_cameras(20);
    apply_demo_mix(cameras);
    std::set<int32_t> device_types;
    std::set<std::string> versions;
    int late = 0;
    for (const CameraConfig& camera : cameras) {
        device_types.insert(camera.device_type);
        versions.insert(camera.software_ver);
        late += camera.faults.reply_delay_ms > 0 ? 1 : 0;
    }
    EXPECT_TRUE(device_types.count(2) && device_types.count(19) && *device_types.rbegin() >= 200 && !device_types.count(0));
    EXPECT_EQ(versions.size(), 5u);  // four versions and the one empty
    EXPECT_TRUE(versions.count(""));
    EXPECT_EQ(std::count_if(cameras.begin(), cameras.end(), [](const auto& c) { return c.software_ver.empty(); }), 1);
    EXPECT_EQ(late, 1);
}

TEST(FleetGenerator, FaultMixGivesDisjointSharesChosenBySeed) {
    const auto mixed = [](uint64_t seed) {
        auto cameras = generate_cameras(200);
        apply_fault_mix(cameras, seed);
        return cameras;
    };
    const auto cameras = mixed(7);
    const std::vector<SdkFaultRule> busy_rules{{"set_config", -1, 17, 0, 1, 0.3}, {"device_control", -1, 17, 0, 1, 0.3}};
    size_t busy = 0, dropping = 0, lost = 0;
    for (const CameraConfig& camera : cameras) {
        const SdkFaults& f = camera.device.faults;
        const bool is_busy = !f.answers.empty(), is_dropping = f.upgrade_drop_percent >= 0;
        EXPECT_LE(int{is_busy} + int{is_dropping} + int{f.reboot_never_returns}, 1) << camera.mac_address;
        EXPECT_EQ(f.answers, is_busy ? busy_rules : std::vector<SdkFaultRule>{});
        EXPECT_EQ(f.upgrade_drop_percent, is_dropping ? 50 : -1);
        busy += is_busy;
        dropping += is_dropping;
        lost += f.reboot_never_returns;
    }
    EXPECT_EQ(busy, 20u);
    EXPECT_EQ(dropping, 10u);
    EXPECT_EQ(lost, 4u);
    EXPECT_EQ(mixed(7), cameras) << "the same seed, the same mix";
    EXPECT_NE(mixed(8), cameras);
}
