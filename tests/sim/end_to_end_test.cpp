// One simulated camera taken through everything the tool does with a camera, as the tool
// does it: found by discovery, logged in, every configuration command and control, an
// upgrade with its reboot and the reconnection at the address discovery then reports, live
// view, and finally a factory reset.
#include "DeviceFixture.h"
#include "discovery/Discovery.h"
#include "support/Screen.h"

using namespace device_test;

namespace {

constexpr const char* kMac = "00:1A:2B:00:00:01";

// The camera's row of the discovery table, once it shows `version` (and `address`, if given).
std::optional<DEV_INFO> find(CDiscovery& discovery, const std::string& version, const std::string& address = "") {
    std::optional<DEV_INFO> found;
    eventually([&] {
        discovery.RefreshDiscovery("10.77.0.1");
        Clock::sleep_ms(200);
        std::vector<DEV_INFO> list;
        int count = 0;
        discovery.GetDeviceList(list, count);
        for (const DEV_INFO& d : list)
            if (std::string(d.mac_address) == kMac && d.software_ver == version && (address.empty() || d.ip_address == address))
                found = d;
        return found.has_value();
    });
    return found;
}

int32_t set(int32_t handle, int32_t command, const void* data, size_t size) {
    return Network_ClientSetDeviceConfig(handle, command, 0, data, static_cast<int32_t>(size));
}

} // namespace

TEST_F(DeviceTest, OneCameraThroughEverythingTheToolDoes) {
    start(1);
    DiscoveryConfig config;
    config.local_addresses = [] { return std::vector<std::string>{"10.77.0.1"}; };
    config.trace_directory = testing::TempDir();
    CDiscovery discovery(config);
    discovery.SetDiscoveryCB([](const DEV_INFO*, uint32_t, void*) -> uint32_t { return 0; }, nullptr);
    ASSERT_EQ(discovery.StartDiscovery(2147483647), 0u);
    const auto listed = find(discovery, "2.4.1");
    ASSERT_TRUE(listed);

    // Login as the batch window starts it, and the upgrade stage's opening moves.
    int32_t handle = -1;
    ASSERT_EQ(Network_ClientLogin(&handle, listed->ip_address, listed->cmd_port, "Admin", ""), OVIX_OK);
    EventLog events;
    ASSERT_EQ(Network_ClientSetEventCB(handle, &EventLog::callback, &events), OVIX_OK);
    const customer_cfg zero = empty_settings();
    EXPECT_EQ(set(handle, OVIX_CMD_CUSTOMER_CFG, &zero, sizeof zero), OVIX_OK);

    // Every configuration command.
    const int32_t logo_length = 1500;
    std::vector<uint8_t> logo(logo_length, 0x5A);
    EXPECT_EQ(set(handle, OVIX_CMD_LOGO_START, &logo_length, 4), OVIX_OK);
    EXPECT_EQ(set(handle, OVIX_CMD_LOGO_DATA, logo.data(), 1024), OVIX_OK);
    EXPECT_EQ(set(handle, OVIX_CMD_LOGO_DATA, logo.data() + 1024, 476), OVIX_OK);
    EXPECT_EQ(set(handle, OVIX_CMD_LOGO_FINISH, nullptr, 0), OVIX_OK);
    char command[OVIX_SHELL_COMMAND_SIZE] = "ifconfig";
    EXPECT_EQ(set(handle, OVIX_CMD_SHELL, command, sizeof command), OVIX_OK);
    ovix_clock clock{};
    EXPECT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, &clock, sizeof clock), OVIX_OK);
    clock.year = 2024, clock.month = 3, clock.day = 5, clock.hour = 14, clock.minute = 7, clock.second = 9;
    EXPECT_EQ(set(handle, OVIX_CMD_SET_CLOCK, &clock, sizeof clock), OVIX_OK);
    customer_cfg cfg = empty_settings();
    cfg.apply_time_zone = 1, cfg.time_zone = 28800;
    cfg.apply_time_format = 1, cfg.time_format = 1;
    cfg.apply_language = 1, cfg.language = 3;
    cfg.apply_video_standard = 1, cfg.video_standard = 2;
    cfg.apply_wifi_ch_max = 1, cfg.wifi_ch_max = 11;
    cfg.apply_wifi_ch_default = 1, cfg.wifi_ch_default = 6;
    cfg.apply_dhcp_enable = 1, cfg.dhcp_enable = 1;
    EXPECT_EQ(set(handle, OVIX_CMD_CUSTOMER_CFG, &cfg, sizeof cfg), OVIX_OK);
    char uid[OVIX_SHELL_COMMAND_SIZE];
    std::snprintf(uid, sizeof uid, "echo %s >/config/tuya.cfg", "TUYA-E2E-1");
    EXPECT_EQ(set(handle, OVIX_CMD_SHELL, uid, sizeof uid), OVIX_OK);
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_PASSWORD_RESET, 0, 0, 0), OVIX_OK);

    // What the test station reads and drives.
    ovix_device_info info{};
    EXPECT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_DEVICE_INFO, 0, &info, sizeof info), OVIX_OK);
    EXPECT_STREQ(info.cloud_uid, "TUYA-E2E-1");
    ovix_usb_info usb{};
    EXPECT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_USB_INFO, 0, &usb, sizeof usb), OVIX_OK);
    EXPECT_EQ(usb.disk_cnt, 1);
    ovix_capability capability{};
    EXPECT_EQ(Network_ClientGetCameraAdvanceConfig(handle, 0, &capability, sizeof capability), OVIX_OK);
    for (auto [code, value] : {std::pair{1042, 1}, {1043, 5}, {1045, 1}, {1044, 1}, {1046, 0}})
        EXPECT_EQ(Network_ClientLDRControl(handle, code, value), OVIX_OK);
    EXPECT_EQ(Network_ClientIrcutControl(handle, 1), OVIX_OK);
    const ovix_ptz right{OVIX_PTZ_MOVE, OVIX_PTZ_RIGHT, 0}, stop{OVIX_PTZ_MOVE, OVIX_PTZ_STOP, 0};
    EXPECT_EQ(Network_ClientPTZControl(handle, 0, &right), OVIX_OK);
    EXPECT_EQ(Network_ClientPTZControl(handle, 0, &stop), OVIX_OK);
    EXPECT_EQ(Network_ClientPlayVoiceData_test(handle, 1), OVIX_OK);

    // The upgrade: transfer, the drop at the reboot, 40 s of waiting (ten times faster), and
    // the camera found again where DHCP put it.
    Firmware firmware({2, 5, 0}, 2u << 20);
    int32_t upgrade = -1, percent = 0;
    ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, handle, firmware.path().c_str()), OVIX_OK);
    ASSERT_TRUE(eventually([&] {
        Clock::sleep_ms(200);
        return Network_ClientGetUpgradeStatus(upgrade, &percent) != OVIX_OK || percent == 100;
    }));
    ASSERT_EQ(percent, 100);
    EXPECT_EQ(Network_ClientStopUpgrade(upgrade), OVIX_OK);
    Clock::set_speed(10);
    ASSERT_TRUE(eventually([&] { return events.dropped(); }));
    EXPECT_EQ(Network_ClientLogout(handle), OVIX_OK);
    Clock::sleep_ms(40000);
    const auto back = find(discovery, "2.5.0");
    Clock::set_speed(1);
    ASSERT_TRUE(back);
    EXPECT_STRNE(back->ip_address, listed->ip_address) << "DHCP gave it another address";
    ASSERT_EQ(Network_ClientLogin(&handle, back->ip_address, back->cmd_port, "Admin", ""), OVIX_OK);
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 1), OVIX_OK);
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 0, 1), OVIX_OK);

    // Live view, as the test window opens it.
    const ovix_live_preview preview{0, 0, 2};
    int32_t live = -1;
    ASSERT_EQ(Network_ClientStartLive(&live, handle, &preview, 0, 0), OVIX_OK);
    int32_t own_rate = 0;
    support::Screen screen;
    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_FRAME_RATE, &own_rate), OVIX_OK);
    EXPECT_EQ(screen.show(live), OVIX_OK);
    ovix_zoom zoom{1000, 160, 90};
    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_ZOOM, &zoom), OVIX_OK);
    EXPECT_TRUE(eventually([&] { return screen.count() >= 5; }));
    EXPECT_EQ(Network_ClientStopLive(live), OVIX_OK);

    // The factory reset brings back the first address, with the new firmware.
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_FACTORY_RESET, 0, 0, 0), OVIX_OK);
    Clock::set_speed(10);
    const auto reset = find(discovery, "2.5.0", listed->ip_address);
    Clock::set_speed(1);
    ASSERT_TRUE(reset);
    Network_ClientLogout(handle);
    discovery.StopDiscovery();

    const DeviceRecord record = camera().device_record();
    EXPECT_EQ(record.logo.chunks, (std::vector<uint32_t>{1024, 476}));
    EXPECT_EQ(record.settings_records.size(), 2u);
    EXPECT_EQ(record.shell_commands.size(), 2u);
    EXPECT_EQ(record.clock_writes.size(), 1u);
    EXPECT_EQ(record.ldr.size(), 5u);
    EXPECT_EQ(record.ptz.size(), 2u);
    EXPECT_EQ(record.controls.size(), 4u) << "password reset, two lamp switches, factory reset";
    EXPECT_EQ(record.upgrades.back().outcome, "complete");
    EXPECT_EQ(record.reboots, 2u);
}
