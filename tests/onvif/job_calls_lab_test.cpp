// The calls a batch job makes, through DeviceClient's own methods, on a simulated camera in
// the lab: the upgrade (uploaded, or attached to UpgradeSystemFirmware) and the resets read
// back from the camera's answers, and the upload's outcomes typed. (What each call does to the camera is the simulator's own suite; the whole
// job over ONVIF is tests/cli/run_onvif_in_lab.sh.)
#include "onvif/DeviceClient.h"
#include "onvif/UsernameToken.h"
#include "support/OnvifFleet.h"
#include "support/TempFile.h"

#include <tuple>
#include <utility>

namespace {

using namespace onvif;
using support::eventually;

class JobCallsTest : public support::OnvifFleetTest {
protected:
    bool answers(const std::string& ip, const std::string& password, DeviceInformation& info) {
        return eventually([&] { return DeviceClient("http://" + ip + "/onvif/device_service", "Admin", password).get_device_information(info).ok(); });
    }
};

TEST_F(JobCallsTest, FirmwareUploadRebootsIntoTheNewVersionADamagedImageIs415AndFactoryResetRestores) {
    Clock::set_speed(20);
    start(1);
    const support::Firmware firmware({2, 5, 0}, 300 * 1024);
    std::string bytes = support::file_text(firmware.path());
    bytes[bytes.size() / 2] ^= 0x40;
    const support::TempFile damaged(bytes);
    ASSERT_TRUE(firmware.ok && damaged.ok);

    auto c = client();
    FirmwareUpgradeStart upgrade;
    ASSERT_TRUE(c->start_firmware_upgrade(upgrade).ok());
    EXPECT_EQ(c->upload_firmware(upgrade.upload_uri, damaged.path()).http_status, 415);

    uint64_t last = 0;
    bool ordered = true;
    const UploadWatch watch{[&](uint64_t sent, uint64_t total) { ordered = ordered && sent > std::exchange(last, sent) && sent <= total; }, {}};
    ASSERT_TRUE(c->start_firmware_upgrade(upgrade).ok());
    Clock::sleep_ms(upgrade.upload_delay_ms);
    const UploadResult result = c->upload_firmware(upgrade.upload_uri, firmware.path(), watch);
    ASSERT_TRUE(result.ok()) << describe(result);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(last, bytes.size());
    Clock::sleep_ms(upgrade.expected_down_time_ms);
    DeviceInformation info;
    const std::string home = camera().current().ip_address;
    EXPECT_TRUE(eventually([&] { return client()->get_device_information(info).ok() && info.firmware_version == "2.5.0"; }));

    // What the client refuses itself, before anything is sent.
    bool reboot_needed = true;
    EXPECT_EQ(c->set_user_password("nobody", "x").status, Status::bad_argument);
    EXPECT_EQ(c->set_network_interfaces({"eth0", true, false, Ipv4Address{"10.77.5.300", 24}}, reboot_needed).status,
              Status::bad_argument);
    ASSERT_TRUE(c->set_user_password("Admin", "changed").ok());
    EXPECT_TRUE(c->get_device_information(info).ok()) << "this client goes on with the new password";
    ASSERT_TRUE(c->set_network_interfaces({"eth0", true, false, Ipv4Address{"10.77.5.9", 16}}, reboot_needed).ok());
    ASSERT_TRUE(answers("10.77.5.9", "changed", info));
    ASSERT_TRUE(DeviceClient("http://10.77.5.9/onvif/device_service", "Admin", "changed").set_system_factory_default(FactoryDefault::hard).ok());
    ASSERT_TRUE(back_online(1, 2));
    ASSERT_TRUE(answers(home, "", info)) << "the listed address and password are back";
    EXPECT_EQ(info.firmware_version, "2.5.0") << "the installed firmware stays";
    std::string message;
    EXPECT_TRUE(client()->system_reboot(message).ok() && !message.empty());
    EXPECT_TRUE(back_online(1, 3));
}

TEST_F(JobCallsTest, AnUploadThatCannotFinishSaysWhy) {
    start(3, [](CameraConfig& c) {
        c.device.onvif.faults.upload_refuse_percent = c.mac_address.back() == '1' ? 40 : -1;
        c.device.onvif.faults.upload_abandon_percent = c.mac_address.back() == '2' ? 40 : -1;
    });
    const support::Firmware firmware({2, 5, 0}, 2 * 1024 * 1024);
    const struct { size_t camera; bool stop; const char* uri; const char* file; UploadStatus status; int http; } rows[] = {
        {1, false, nullptr, nullptr, UploadStatus::refused, 503},
        {2, false, nullptr, nullptr, UploadStatus::dropped, 0},
        {3, true, nullptr, nullptr, UploadStatus::stopped, 0},
        {3, false, "http://10.77.250.1/onvif/firmware/x", nullptr, UploadStatus::unreachable, 0},
        {3, false, nullptr, "/nonexistent/fw.update", UploadStatus::unreadable, 0},
    };
    for (const auto& row : rows) {
        auto c = client(row.camera);
        FirmwareUpgradeStart upgrade;
        ASSERT_TRUE(c->start_firmware_upgrade(upgrade).ok());
        const UploadWatch watch{{}, [&, calls = 0]() mutable { return row.stop && ++calls > 3; }};
        const UploadResult result = c->upload_firmware(row.uri ? row.uri : upgrade.upload_uri, row.file ? row.file : firmware.path(), watch);
        EXPECT_EQ(result.status, row.status) << describe(result);
        EXPECT_EQ(result.http_status, row.http);
    }
    // The camera keeps its old version, says why, and is free for another try.
    EXPECT_EQ(std::tuple(camera(1).device_record().upgrades.back().outcome, camera(2).device_record().upgrades.back().outcome,
                         camera(1).device_record().reboots + camera(2).device_record().reboots),
              std::tuple("failed", "dropped", 0u));
    FirmwareUpgradeStart again;
    EXPECT_TRUE(client(1)->start_firmware_upgrade(again).ok());
}

// A camera that takes no upload gets the image inside the message, whichever way it logs in;
// the framing goes out with the file, counted in the one length announced.
TEST_F(JobCallsTest, UpgradeSystemFirmwareStreamsTheImageAsTheMessagesAttachment) {
    Clock::set_speed(20);
    start(3, [](CameraConfig& c) {
        c.device.onvif.http_upload = false;
        c.device.onvif.auth = c.mac_address.back() == '2' ? OnvifAuth::Digest : OnvifAuth::Token;
    });
    const support::Firmware firmware({2, 5, 0}, 300 * 1024);
    std::string bytes = support::file_text(firmware.path());
    bytes[bytes.size() / 2] ^= 0x40;
    const support::TempFile damaged(bytes);
    ASSERT_TRUE(firmware.ok && damaged.ok);
    const struct { size_t camera; const std::string& file; Status status; const char* version; } rows[] = {
        {1, firmware.path(), Status::ok, "2.5.0"},      // a UsernameToken in the envelope
        {2, firmware.path(), Status::ok, "2.5.0"},      // challenged for a digest, then sent again
        {3, damaged.path(), Status::bad_argument, "2.4.1"},  // InvalidFirmware
    };
    for (const auto& row : rows) {
        uint64_t last = 0, announced = 0;
        const UploadWatch watch{[&](uint64_t sent, uint64_t total) { last = sent, announced = total; }, {}};
        std::string message;
        const Result result = client(row.camera)->upgrade_system_firmware(row.file, watch, message);
        EXPECT_EQ(result.status, row.status) << describe(result);
        // A camera that finds the image bad answers as soon as it has checked it, before the
        // closing delimiter: only a taken image has had the whole message.
        if (result.ok()) {
            EXPECT_EQ(last, announced);
        }
        EXPECT_GT(announced, bytes.size()) << "the envelope and delimiters are counted too";
        EXPECT_EQ(message.empty(), !result.ok());
    }
    for (const auto& row : rows) {
        ASSERT_TRUE(row.status != Status::ok || back_online(row.camera, 1));
        DeviceInformation info;
        EXPECT_TRUE(eventually([&] { return client(row.camera)->get_device_information(info).ok(); }));
        EXPECT_EQ(info.firmware_version, row.version);
    }
}

} // namespace
