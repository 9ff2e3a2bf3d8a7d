#pragma once
#include "sim/SimFleet.h"
#include "support/Eventually.h"
#include "support/LabSocket.h"

#include <gtest/gtest.h>

#include <memory>

// Camera n (from 1): MAC 00:1A:2B:00:00:0n at 10.77.1.n, with a distinct value in every field
// so that a mixed-up reply shows.
inline CameraConfig numbered_camera(int n) {
    const auto plus = [n](int base) { return static_cast<uint16_t>(base + n); };
    return CameraConfig{"00:1A:2B:00:00:0" + std::to_string(n), "10.77.1." + std::to_string(n), "255.255.0.0",
                        "10.77.0." + std::to_string(250 + n), plus(5000), plus(6000), plus(8000), plus(7000),
                        10 + n, 0x3510 + n, 200 + n, "2.4." + std::to_string(n), {}, {}};
}

inline FleetConfig numbered_fleet(int count, ReplyMode mode = ReplyMode::Broadcast) {
    FleetConfig config;
    config.reply_mode = mode;
    for (int n = 1; n <= count; ++n) config.cameras.push_back(numbered_camera(n));
    return config;
}

// The reply as the tool reads it carries exactly the camera's settings, from its own address.
inline void expect_reply_of(const lab::Datagram& reply, const CameraConfig& camera) {
    EXPECT_EQ(reply.header().command(), kCmdDevInfoReply);
    EXPECT_EQ(reply.header().payload_length() + kDiscoveryHeaderSize, reply.bytes.size());
    EXPECT_EQ(reply.source_ip, camera.ip_address) << "a camera answers from its own address";
    EXPECT_EQ(reply.source_port, 13000);
    const auto d = reply.device();
    ASSERT_TRUE(d) << reply.payload();
    const CameraConfig seen{d->mac_address, d->ip_address, d->subnet_mask, d->gateway, d->cmd_port, d->media_port,
                            d->http_port, d->phone_port, d->ipc_type, d->board_type, d->device_type, d->software_ver,
                            camera.faults, camera.device};
    EXPECT_EQ(seen, camera);
}

class FleetTest : public ::testing::Test {
protected:
    void start(const FleetConfig& config) {
        fleet = std::make_unique<SimFleet>(config);
        ASSERT_TRUE(fleet->start());
    }
    // Waits until the fleet has acted on `count` requests in all; its counters are updated
    // after the sends.
    void wait_handled(uint64_t count) {
        ASSERT_TRUE(support::eventually([&] { return fleet->discovery().stats().requests_handled >= count; }));
    }
    SimCamera& camera(int n) { return fleet->camera_at(static_cast<size_t>(n - 1)); }

    std::unique_ptr<SimFleet> fleet;
};
