// A hundred cameras at once, as a batch job drives them: logins and upgrades side by side,
// through the real client library.
#include "DeviceFixture.h"

#include <atomic>
#include <thread>

using namespace device_test;

namespace {
constexpr size_t kCameras = 100;
}

TEST_F(DeviceTest, HundredUpgradesAtOnceAllComeBackWithTheNewVersion) {
    start(kCameras);
    Firmware firmware({2, 6, 0}, 1u << 20);
    ASSERT_TRUE(firmware.ok);
    std::atomic<int> complete{0};
    std::vector<int32_t> outcome(kCameras, -100);
    std::vector<std::thread> workers;
    for (size_t i = 0; i < kCameras; ++i)
        workers.emplace_back([&, i] {
            int32_t handle = -1, upgrade = -1, percent = 0;
            if (try_login(&handle, "", "Admin", i + 1) != OVIX_OK) return;
            outcome[i] = Network_ClientStartUpgrade(&upgrade, handle, firmware.path().c_str());
            if (outcome[i] != OVIX_OK) return;
            eventually([&] {
                outcome[i] = Network_ClientGetUpgradeStatus(upgrade, &percent);
                if (outcome[i] == OVIX_OK && percent < 100) Clock::sleep_ms(200);
                return outcome[i] != OVIX_OK || percent == 100;
            });
            if (percent == 100) ++complete;
            Network_ClientStopUpgrade(upgrade);
            Network_ClientLogout(handle);
        });
    for (auto& worker : workers) worker.join();
    for (size_t i = 0; i < kCameras; ++i) EXPECT_EQ(outcome[i], OVIX_OK) << i;
    EXPECT_EQ(complete.load(), static_cast<int>(kCameras));

    Clock::set_speed(20);
    for (size_t n = 1; n <= kCameras; ++n) {
        ASSERT_TRUE(eventually([&] { return camera(n).device_record().reboots == 1 && camera(n).online(); })) << n;
        EXPECT_EQ(camera(n).current().software_ver, "2.6.0");
    }
}
