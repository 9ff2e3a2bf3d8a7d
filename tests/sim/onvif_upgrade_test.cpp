// A firmware upgrade through a simulated camera's ONVIF side: StartFirmwareUpgrade, then the
// file POSTed to the address it gave. The camera checks it as its own protocol's upgrade
// does and reboots into it.
#include "devsdk/ovix_client.h"
#include "onvif/BoundedXml.h"
#include "onvif/Namespaces.h"
#include "support/OnvifFleet.h"
#include "support/TempFile.h"

#include <fstream>
#include <iterator>

namespace {

class OnvifUpgradeTest : public support::OnvifFleetTest {
protected:
    std::string upload_uri(size_t n) {
        onvif::SoapReply reply;
        EXPECT_TRUE(client(n)->call({"StartFirmwareUpgrade", "<tds:StartFirmwareUpgrade/>"}, reply).ok());
        EXPECT_EQ(onvif::child_text(reply.body(), onvif::ns::kDevice, "ExpectedDownTime"), "PT60S");
        return onvif::child_text(reply.body(), onvif::ns::kDevice, "UploadUri");
    }
    static std::string file_bytes(const support::Firmware& firmware) {
        std::ifstream in(firmware.path(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_F(OnvifUpgradeTest, AGoodImageRebootsIntoTheNewVersionADamagedOneIs415) {
    Clock::set_speed(20);
    start(3, [](CameraConfig& c) { c.device.faults.upgrade_install_fails = c.mac_address.back() == '3'; });
    const support::Firmware firmware({2, 5, 0}, 300 * 1024);
    ASSERT_TRUE(firmware.ok);
    const std::string good = file_bytes(firmware);
    std::string damaged = good;
    damaged[damaged.size() / 2] ^= 0x40;

    EXPECT_EQ(post(upload_uri(1), "application/octet-stream", good).status, 200);
    EXPECT_EQ(post(upload_uri(2), "application/octet-stream", damaged).status, 415);
    // Refused by its header, before the rest is read: the answer still arrives whole.
    const support::Firmware foreign({2, 5, 0}, 8u << 20, "0x3518");
    EXPECT_EQ(post(upload_uri(2), "application/octet-stream", file_bytes(foreign)).status, 415);
    EXPECT_EQ(post(upload_uri(3), "application/octet-stream", good).status, 200);
    EXPECT_EQ(post(xaddr(2).substr(0, xaddr(2).find("/onvif")) + "/onvif/firmware/guessed", "application/octet-stream", good).status, 404);

    ASSERT_TRUE(back_online(1, 1));
    ASSERT_TRUE(back_online(3, 1));
    onvif::DeviceInformation info;
    ASSERT_TRUE(client(1)->get_device_information(info).ok());
    EXPECT_EQ(info.firmware_version, "2.5.0") << "the same version the device SDK side reports";
    EXPECT_EQ(camera(1).current().software_ver, "2.5.0");
    EXPECT_EQ(camera(2).current().software_ver, "2.4.1");
    EXPECT_EQ(camera(3).current().software_ver, "2.4.1") << "the install-fails fault";
    EXPECT_EQ(camera(2).device_record().upgrades.at(0).outcome, "invalid");
    EXPECT_EQ(camera(2).device_record().upgrades.at(1).start_result, OVIX_ERR_UPGRADE_BOARD);
    EXPECT_EQ(camera(1).device_record().upgrades.back().outcome, "complete");
}

TEST_F(OnvifUpgradeTest, AnUploadRefusedOrAbandonedPartWayLeavesTheOldVersion) {
    start(2, [](CameraConfig& c) {
        (c.mac_address.back() == '1' ? c.device.onvif.faults.upload_refuse_percent : c.device.onvif.faults.upload_abandon_percent) = 40;
    });
    const support::Firmware firmware({2, 5, 0}, 300 * 1024);
    const std::string good = file_bytes(firmware);
    EXPECT_EQ(post(upload_uri(1), "application/octet-stream", good).status, 503);
    EXPECT_EQ(post(upload_uri(2), "application/octet-stream", good).status, 0) << "no answer at all";
    EXPECT_EQ(camera(1).device_record().upgrades.back().outcome, "failed");
    EXPECT_EQ(camera(2).device_record().upgrades.back().outcome, "dropped");
    EXPECT_EQ(camera(1).device_record().reboots + camera(2).device_record().reboots, 0u);
    EXPECT_EQ(post(upload_uri(1), "application/octet-stream", good).status, 503) << "the camera is free for another try";
}

} // namespace
