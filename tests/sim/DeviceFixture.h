#pragma once
// The device SDK side of the simulated fleet, driven through the real client library
// (libovix_client) inside the lab.
#include "support/EventLog.h"
#include "LabTool.h"
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/FirmwareFile.h"
#include "foundation/Clock.h"
#include "sim/FleetGenerator.h"
#include "sim/SimFleet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace device_test {

// Polls until cond holds; false when it never does within a generous bound that only keeps
// a broken build from hanging. Tests assert outcomes, never how long they took.
inline bool eventually(const std::function<bool()>& cond) {
    const int64_t deadline = Clock::now_ms() + static_cast<int64_t>(120000 * Clock::speed());
    while (!cond()) {
        if (Clock::now_ms() > deadline) return false;
        Clock::sleep_ms(5);
    }
    return true;
}

// A firmware file for the default cameras (board 0x3516), removed with the object.
class Firmware {
public:
    Firmware(ovix::FirmwareVersion version, uint64_t image_length, std::string board = "0x3516") {
        char name[] = "/tmp/fleetset-fw-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd >= 0) ::close(fd);
        m_path = name;
        ok = ovix::make_firmware_file(m_path, {std::move(board), version, image_length, image_length + 11, "test"}) == OVIX_OK;
    }
    ~Firmware() { ::unlink(m_path.c_str()); }
    const char* path() const { return m_path.c_str(); }
    bool ok = false;

private:
    std::string m_path;
};

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
