#pragma once
// The device SDK side of the simulated fleet, driven through the real client library
// (libovix_client) inside the lab.
#include "devsdk/ovix_client.h"
#include "foundation/Clock.h"
#include "sim/FleetGenerator.h"
#include "sim/SimFleet.h"
#include "support/EventLog.h"
#include "support/Eventually.h"
#include "support/LabSocket.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace device_test {

using support::eventually;
using support::Firmware;

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Network_ClientInit(), OVIX_OK); }
    void TearDown() override {
        Network_ClientUnInit();
        fleet.reset();
        Clock::set_speed(1.0);
    }

    // `count` default cameras (10.77.1.1 upward), each adjusted by `adjust` before the start.
    void start(size_t count, const std::function<void(CameraConfig&)>& adjust = {}) {
        FleetConfig config;
        config.cameras = generate_cameras(count);
        if (adjust)
            for (CameraConfig& camera : config.cameras) adjust(camera);
        fleet = std::make_unique<SimFleet>(config);
        ASSERT_TRUE(fleet->start());
    }
    SimCamera& camera(size_t n = 1) { return fleet->camera_at(n - 1); }
    std::string ip(size_t n = 1) { return camera(n).current().ip_address; }

    // The login's result; the handle in *handle (-1 when refused).
    int32_t try_login(int32_t* handle, const char* password = "", const char* user = "Admin", size_t n = 1) {
        const CameraConfig current = camera(n).current();
        return Network_ClientLogin(handle, current.ip_address.c_str(), current.cmd_port, user, password);
    }
    int32_t login(size_t n = 1, const char* password = "") {
        int32_t handle = -1;
        EXPECT_EQ(try_login(&handle, password, "Admin", n), OVIX_OK);
        return handle;
    }

    std::unique_ptr<SimFleet> fleet;
};

inline customer_cfg empty_settings() {
    customer_cfg cfg;
    std::memset(&cfg, 0, sizeof cfg);
    return cfg;
}

inline std::vector<uint8_t> bytes_of(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    return {p, p + size};
}

} // namespace device_test
