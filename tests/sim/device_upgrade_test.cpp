// Firmware upgrades of a simulated camera: refusals before any data moves, the transfer and
// its faults, the reboot that drops every login, and the camera back with the new version.
#include "DeviceFixture.h"

#include <fstream>
#include <set>

using namespace device_test;

namespace {

// Percent reached and the result of the last status query, polled as the batch tool does.
struct Transfer {
    int32_t result = OVIX_OK;
    int32_t percent = 0;
    std::set<int32_t> seen;
};

Transfer follow(int32_t upgrade) {
    Transfer t;
    eventually([&] {
        t.result = Network_ClientGetUpgradeStatus(upgrade, &t.percent);
        t.seen.insert(t.percent);
        return t.result != OVIX_OK || t.percent == 100;
    });
    return t;
}

} // namespace

// What the client finds in the file and what the camera's policy refuses, each before any
// image byte moves and leaving the login free for the next upgrade; which headers a camera
// refuses (damage, board, size) is the firmware header's table.
TEST_F(DeviceTest, RefusalsComeBeforeAnyImageDataMoves) {
    start(1, [](CameraConfig& c) {
        c.software_ver = "2.4.1";
        c.device.faults.upgrade_stall_percent = 50;
    });
    const int32_t handle = login();
    Firmware older({2, 3, 9}, 4096), good({2, 5, 0}, 256 * 1024);
    support::TempFile tiny;
    std::ofstream(tiny.path(), std::ios::binary) << "short";
    const struct {
        const char* what;
        std::string path;
        int32_t expected;
    } rows[] = {
        {"shorter than a header", tiny.path(), OVIX_ERR_UPGRADE_INVALID},
        {"no such file", "/nonexistent/fw.update", OVIX_ERR_FILE},
        {"an older version", older.path(), OVIX_ERR_UPGRADE_VERSION},
    };
    for (const auto& row : rows) {
        int32_t upgrade = 7;
        EXPECT_EQ(Network_ClientStartUpgrade(&upgrade, handle, row.path.c_str()), row.expected) << row.what;
        EXPECT_EQ(upgrade, -1) << row.what;
    }

    // One upgrade at a time per camera, whichever login asks.
    int32_t upgrade = -1, second = -1;
    ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, handle, good.path().c_str()), OVIX_OK);
    EXPECT_EQ(Network_ClientStartUpgrade(&second, handle, good.path().c_str()), OVIX_ERR_BUSY);
    EXPECT_EQ(Network_ClientStartUpgrade(&second, login(), good.path().c_str()), OVIX_ERR_BUSY);
    Network_ClientStopUpgrade(upgrade);

    // The missing file and the login's own busy upgrade never reached the camera.
    const DeviceRecord record = camera().device_record();
    ASSERT_EQ(record.upgrades.size(), 4u);
    for (size_t i : {0u, 1u, 3u})
        EXPECT_EQ(record.upgrades[i].outcome + " " + std::to_string(record.upgrades[i].image_bytes), "refused 0") << i;
    EXPECT_EQ(record.upgrades[1].version, "2.3.9");
    EXPECT_EQ(record.upgrades[3].start_result, OVIX_ERR_BUSY);
    EXPECT_EQ(camera().current().software_ver, "2.4.1");
}

TEST_F(DeviceTest, SixteenMegabyteUpgradeRebootsDroppingEveryLogin) {
    start(1);
    Firmware firmware({2, 5, 0}, 16u << 20);
    ASSERT_TRUE(firmware.ok);
    const int32_t handle = login();
    const int32_t watcher = login();
    EventLog events, watcher_events;
    ASSERT_EQ(Network_ClientSetEventCB(handle, &EventLog::callback, &events), OVIX_OK);
    ASSERT_EQ(Network_ClientSetEventCB(watcher, &EventLog::callback, &watcher_events), OVIX_OK);
    int32_t upgrade = -1;
    ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, handle, firmware.path().c_str()), OVIX_OK);
    const Transfer transfer = follow(upgrade);
    ASSERT_EQ(transfer.result, OVIX_OK);
    EXPECT_EQ(transfer.percent, 100);
    EXPECT_GT(transfer.seen.size(), 2u) << "progress shows on the way";

    // The 30 s of silence pass ten times faster.
    Clock::set_speed(10);
    ASSERT_TRUE(eventually([&] { return events.dropped() && watcher_events.dropped(); })) << "every login drops";
    EXPECT_FALSE(camera().online());
    EXPECT_NE(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, &upgrade, 4), OVIX_OK);
    int32_t refused = -1;
    EXPECT_EQ(try_login(&refused), OVIX_ERR_CONNECT) << "a rebooting camera takes no connection";
    ASSERT_TRUE(eventually([&] { return camera().online(); }));
    Clock::set_speed(1);
    int32_t percent = 0;
    EXPECT_EQ(Network_ClientGetUpgradeStatus(upgrade, &percent), OVIX_OK) << "the reboot's drop is no failure";
    EXPECT_EQ(percent, 100);
    EXPECT_EQ(Network_ClientStopUpgrade(upgrade), OVIX_OK);
    EXPECT_EQ(Network_ClientStopUpgrade(upgrade), OVIX_ERR_BAD_HANDLE);

    // Where DHCP put it and the version it then reports: the announcement test below.
    const DeviceRecord record = camera().device_record();
    ASSERT_EQ(record.upgrades.size(), 1u);
    EXPECT_EQ(record.upgrades[0].outcome + " " + std::to_string(record.upgrades[0].image_bytes), "complete 16777216");
    EXPECT_EQ(record.reboots, 1u);
    Network_ClientLogout(handle);
    Network_ClientLogout(watcher);
}

TEST_F(DeviceTest, ACameraBackFromItsRebootAnnouncesItselfOnceUnlessSwitchedOff) {
    start(2, [](CameraConfig& c) {
        c.device.reboot_ms = 5000;
        c.device.settings.dhcp = c.mac_address == "00:1A:2B:00:00:01";
        c.device.dhcp_address = "10.77.9.9";
        c.device.announce_after_reboot = c.mac_address == "00:1A:2B:00:00:01";
    });
    lab::Tool tool;  // listening on the tool port all along
    Firmware firmware({2, 5, 0}, 64 * 1024);
    for (size_t n = 1; n <= 2; ++n) {
        int32_t upgrade = -1;
        ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, login(n), firmware.path().c_str()), OVIX_OK);
        EXPECT_EQ(follow(upgrade).percent, 100);
        Network_ClientStopUpgrade(upgrade);
    }
    // A camera takes logins only after its return has been made known.
    const auto back = [&](size_t n) {
        int32_t handle = -1;
        if (camera(n).device_record().reboots != 1 || !camera(n).online() || try_login(&handle, "", "Admin", n) != OVIX_OK) return false;
        Network_ClientLogout(handle);
        return true;
    };
    Clock::set_speed(20);
    ASSERT_TRUE(eventually([&] { return back(1) && back(2); }));
    Clock::set_speed(1);

    // Whatever the cameras sent unasked went out before the answers to a request made now.
    tool.request_devices();
    std::vector<lab::Datagram> got = tool.receive_many(3);
    for (lab::Datagram& more : tool.drain()) got.push_back(std::move(more));
    std::vector<std::string> senders;
    for (const lab::Datagram& datagram : got) senders.push_back(datagram.device() ? datagram.device()->mac_address : "?");
    EXPECT_EQ(senders, (std::vector<std::string>{"00:1A:2B:00:00:01", "00:1A:2B:00:00:01", "00:1A:2B:00:00:02"}));
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].source_ip, "10.77.9.9") << "from where DHCP put it";
    EXPECT_STREQ(got[0].device()->ip_address, "10.77.9.9");
    EXPECT_STREQ(got[0].device()->software_ver, "2.5.0");
}

TEST_F(DeviceTest, TransfersThatStallDropOrFailReportIt) {
    start(3, [](CameraConfig& c) {
        SdkFaults& f = c.device.faults;
        if (c.mac_address == "00:1A:2B:00:00:01") f.upgrade_stall_percent = 30;
        if (c.mac_address == "00:1A:2B:00:00:02") f.upgrade_drop_percent = 20;
        if (c.mac_address == "00:1A:2B:00:00:03") f.upgrade_fail_percent = 40;
    });
    Firmware firmware({2, 5, 0}, 1u << 20);
    int32_t upgrades[3];
    EventLog events[3];
    for (size_t n = 1; n <= 3; ++n) {
        const int32_t handle = login(n);
        ASSERT_EQ(Network_ClientSetEventCB(handle, &EventLog::callback, &events[n - 1]), OVIX_OK);
        ASSERT_EQ(Network_ClientStartUpgrade(&upgrades[n - 1], handle, firmware.path().c_str()), OVIX_OK);
    }
    Clock::set_speed(10);  // the stall limit of 15 s
    const Transfer stalled = follow(upgrades[0]), dropped = follow(upgrades[1]), failed = follow(upgrades[2]);
    EXPECT_EQ(stalled.result, OVIX_ERR_TIMEOUT);
    EXPECT_LT(stalled.percent, 100);
    EXPECT_EQ(dropped.result, OVIX_ERR_DISCONNECTED);
    EXPECT_TRUE(events[1].dropped());
    EXPECT_FALSE(events[0].dropped()) << "a stalled camera still answers pings";
    EXPECT_EQ(failed.result, OVIX_ERR_FAILED);
    int32_t percent = 0;
    EXPECT_EQ(Network_ClientGetUpgradeStatus(upgrades[2], &percent), OVIX_ERR_FAILED) << "every later query fails too";
    for (int32_t upgrade : upgrades) Network_ClientStopUpgrade(upgrade);

    EXPECT_TRUE(eventually([&] { return !camera(1).device_state().upgrading; })) << "the abort frees the camera";
    for (const auto& [n, outcome] : {std::pair<size_t, std::string>{1, "stalled"}, {2, "dropped"}, {3, "failed"}})
        EXPECT_EQ(std::pair(camera(n).device_record().upgrades.back().outcome, camera(n).current().software_ver),
                  std::pair(outcome, std::string("2.4.1")));
}

TEST_F(DeviceTest, SlowLinkCarriesTheUpgradeAtItsPace) {
    start(1, [](CameraConfig& c) {
        c.device.faults.link_bytes_per_second = 64 * 1024;
        c.device.reboot_ms = 0;
    });
    Firmware firmware({2, 5, 0}, 512 * 1024);
    const int32_t handle = login();
    Clock::set_speed(4);  // eight seconds of link time
    int32_t upgrade = -1;
    ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, handle, firmware.path().c_str()), OVIX_OK);
    const Transfer transfer = follow(upgrade);
    EXPECT_EQ(transfer.result, OVIX_OK);
    EXPECT_GT(transfer.seen.size(), 5u) << "the percent climbs step by step";
    Network_ClientStopUpgrade(upgrade);
    ASSERT_TRUE(eventually([&] { return camera().device_record().reboots == 1 && camera().online(); }));
    EXPECT_EQ(camera().current().software_ver, "2.5.0");
}

TEST_F(DeviceTest, ACameraWhoseRebootNeverReturnsStaysSilent) {
    start(1, [](CameraConfig& c) {
        c.device.faults.reboot_never_returns = true;
        c.device.reboot_ms = 1000;
    });
    Firmware firmware({2, 5, 0}, 64 * 1024);
    int32_t upgrade = -1;
    ASSERT_EQ(Network_ClientStartUpgrade(&upgrade, login(), firmware.path().c_str()), OVIX_OK);
    EXPECT_EQ(follow(upgrade).percent, 100);
    Network_ClientStopUpgrade(upgrade);
    ASSERT_TRUE(eventually([&] { return !camera().online(); }));
    // Many times the reboot time later it is still gone.
    Clock::set_speed(20);
    Clock::sleep_ms(20000);
    EXPECT_FALSE(camera().online());
    int32_t handle = -1;
    EXPECT_EQ(try_login(&handle), OVIX_ERR_CONNECT);
}
