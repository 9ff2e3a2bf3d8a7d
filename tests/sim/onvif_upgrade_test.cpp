// A firmware upgrade through a simulated camera's ONVIF side: StartFirmwareUpgrade, then the
// file POSTed to the address it gave, or the file as UpgradeSystemFirmware's attachment. The
// camera checks it as its own protocol's upgrade does and reboots into it.
#include "devsdk/ovix_client.h"
#include "onvif/BoundedXml.h"
#include "onvif/DeviceClient.h"
#include "onvif/Multipart.h"
#include "onvif/UsernameToken.h"
#include "onvif/Namespaces.h"
#include "support/OnvifFleet.h"
#include "support/TempFile.h"

#include <chrono>
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


// The camera of the older kind: no upload address, the image only inside the message, its
// login checked before any of the image is taken.
TEST_F(OnvifUpgradeTest, ACameraWithoutTheUploadChecksTheAttachedImageAsTheUploadIs) {
    start(1, [](CameraConfig& c) { c.device.onvif.http_upload = false; });
    onvif::DeviceServiceCapabilities caps;
    ASSERT_TRUE(client()->get_service_capabilities(caps).ok());
    EXPECT_FALSE(caps.http_firmware_upgrade);
    onvif::FirmwareUpgradeStart start;
    EXPECT_EQ(client()->start_firmware_upgrade(start).status, onvif::Status::not_supported);

    const support::Firmware firmware({2, 5, 0}, 300 * 1024);
    std::string damaged = file_bytes(firmware);
    damaged[damaged.size() / 2] ^= 0x40;
    const auto message = [&](const char* href, bool sign) {
        onvif::UsernameToken token;
        const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
        EXPECT_TRUE(onvif::make_username_token("Admin", "", now, token));
        const onvif::XopFraming framing =
            onvif::xop_framing(onvif::build_request(onvif::upgrade_system_firmware(href).body, sign ? onvif::security_header(token) : ""),
                               "UpgradeSystemFirmware", "b-1", "root@t", "image@t");
        return post(xaddr(), framing.content_type, framing.prefix + damaged + framing.suffix);
    };
    const struct { const char* href; bool sign; int status; const char* says; } rows[] = {
        {"image@t", true, 500, "InvalidFirmware"},
        {"other@t", true, 400, "WellFormed"},      // the envelope names no part that is here
        {"image@t", false, 401, "NotAuthorized"},  // refused before the image is read
    };
    for (const auto& row : rows) {
        const onvif::HttpResponse answer = message(row.href, row.sign);
        EXPECT_EQ(answer.status, row.status) << row.href;
        EXPECT_NE(answer.body.find(row.says), std::string::npos) << answer.body;
    }
    const DeviceRecord record = camera().device_record();
    ASSERT_EQ(record.upgrades.size(), 1u) << "only the signed message with its attachment reached the image check";
    EXPECT_EQ(record.upgrades.back().outcome, "invalid");
    EXPECT_EQ(record.onvif_calls.back().operation, "UpgradeSystemFirmware");
    EXPECT_EQ(camera().current().software_ver, "2.4.1");
}

} // namespace
