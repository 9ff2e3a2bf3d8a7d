// Configuration records on a simulated camera: what the tool writes takes effect, what it
// reads reports the camera, and everything is recorded.
#include "DeviceFixture.h"

using namespace device_test;

namespace {

int32_t shell(int32_t handle, const std::string& text) {
    char buffer[OVIX_SHELL_COMMAND_SIZE] = {};
    std::snprintf(buffer, sizeof buffer, "%s", text.c_str());
    return Network_ClientSetDeviceConfig(handle, OVIX_CMD_SHELL, 0, buffer, sizeof buffer);
}

} // namespace

TEST_F(DeviceTest, ClockWriteMovesTheCameraClockAndKeepsItsOwnWords) {
    start(1);
    const int32_t handle = login();
    ovix_clock clock{};
    ASSERT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, &clock, sizeof clock), OVIX_OK);
    EXPECT_EQ(clock.profile, 1);
    EXPECT_GE(clock.year, 2024);

    clock.profile = 5;
    clock.year = 2024, clock.month = 3, clock.day = 5, clock.hour = 14, clock.minute = 7, clock.second = 9;
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SET_CLOCK, 0, &clock, sizeof clock), OVIX_OK);
    const ovix_clock written = clock;
    ovix_clock now{};
    ASSERT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, &now, sizeof now), OVIX_OK);
    EXPECT_EQ(std::memcmp(&now, &clock, 48), 0) << "bytes 0 to 47 read back as written";
    // The camera's clock runs on from the written second.
    EXPECT_EQ((std::vector<int>{now.year, now.month, now.day, now.hour, now.minute}), (std::vector<int>{2024, 3, 5, 14, 7}));

    clock.month = 13;
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SET_CLOCK, 0, &clock, sizeof clock), OVIX_ERR_BAD_REQUEST);
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SET_CLOCK, 0, &clock, 70), OVIX_ERR_BAD_REQUEST);
    const DeviceRecord record = camera().device_record();
    ASSERT_EQ(record.clock_writes.size(), 2u) << "a record of the wrong length is not a clock write";
    EXPECT_EQ(bytes_of(record.clock_writes[0].data(), 72), bytes_of(&written, sizeof written));
}

TEST_F(DeviceTest, SettingsRecordAppliesOnlyTheFieldsWhoseApplyWordIsOne) {
    start(1);
    const int32_t handle = login();
    customer_cfg cfg = empty_settings();
    cfg.apply_time_zone = 1, cfg.time_zone = 3600;
    cfg.language = 7;  // without its apply word
    cfg.apply_video_standard = 1, cfg.video_standard = 1;
    cfg.apply_wifi_ch_default = 1, cfg.wifi_ch_default = 0;
    cfg.apply_wifi_ch_max = 1, cfg.wifi_ch_max = 11;
    cfg.apply_dhcp_enable = 1, cfg.dhcp_enable = 1;
    cfg.apply_time_format = 1, cfg.time_format = 2;
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_CUSTOMER_CFG, 0, &cfg, sizeof cfg), OVIX_OK);
    CameraSettings expected;
    expected.time_zone = 3600, expected.video_standard = 1, expected.wifi_ch_max = 11, expected.dhcp = true, expected.time_format = 2;
    EXPECT_EQ(camera().current().device.settings, expected);

    // One bad value spoils the record: nothing of it is applied.
    customer_cfg bad = empty_settings();
    bad.apply_time_zone = 1, bad.time_zone = -7200;
    bad.apply_language = 1, bad.language = 21;
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_CUSTOMER_CFG, 0, &bad, sizeof bad), OVIX_ERR_BAD_REQUEST);
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_CUSTOMER_CFG, 0, &cfg, 1000), OVIX_ERR_BAD_REQUEST);
    EXPECT_EQ(camera().current().device.settings, expected);
    // The zero record of the upgrade stage changes nothing.
    const customer_cfg zero = empty_settings();
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_CUSTOMER_CFG, 0, &zero, sizeof zero), OVIX_OK);
    EXPECT_EQ(camera().current().device.settings, expected);

    const DeviceRecord record = camera().device_record();
    ASSERT_EQ(record.settings_records.size(), 3u);
    EXPECT_EQ(record.settings_records[0], bytes_of(&cfg, sizeof cfg));
    EXPECT_EQ(record.settings_records[1], bytes_of(&bad, sizeof bad));
}

TEST_F(DeviceTest, DeviceAndCardInformationReportTheConfiguredCamera) {
    start(2, [](CameraConfig& c) {
        if (c.mac_address != "00:1A:2B:00:00:02") return;
        c.device.board_name = "IPC-T31";
        c.device.board_id = 0x1A2B;
        c.device.pid = "pid-42";
        c.device.cloud_uid = "uid-42";
        c.device.tf_card.present = false;
        c.software_ver = "3.1.4";
    });
    ovix_device_info info;
    std::memset(&info, 0xEE, sizeof info);
    ASSERT_EQ(Network_ClientGetDeviceConfig(login(2), OVIX_CMD_DEVICE_INFO, 0, &info, sizeof info), OVIX_OK);
    EXPECT_EQ(info.board_id, 0x1A2Bu);
    // The QR text defaults to the UID.
    EXPECT_EQ((std::vector<std::string>{info.board_name, info.mac, info.software_version, info.pid, info.cloud_uid,
                                        info.qr_text, info.board_type}),
              (std::vector<std::string>{"IPC-T31", "00:1A:2B:00:00:02", "3.1.4", "pid-42", "uid-42", "uid-42", "0x3516"}));

    ovix_usb_info usb{};
    ASSERT_EQ(Network_ClientGetDeviceConfig(login(2), OVIX_CMD_USB_INFO, 0, &usb, sizeof usb), OVIX_OK);
    EXPECT_EQ(usb.disk_cnt, 0);
    const int32_t first = login(1);
    ASSERT_EQ(Network_ClientGetDeviceConfig(first, OVIX_CMD_USB_INFO, 0, &usb, sizeof usb), OVIX_OK);
    EXPECT_EQ(std::pair(usb.disk_cnt, std::string(usb.description)), std::pair(1, std::string("TF card 32 GB")));
    // Identity texts nobody configured differ from camera to camera.
    ovix_device_info other{};
    ASSERT_EQ(Network_ClientGetDeviceConfig(first, OVIX_CMD_DEVICE_INFO, 0, &other, sizeof other), OVIX_OK);
    EXPECT_EQ(std::pair(std::string(other.cloud_uid), other.board_id), std::pair(std::string("ovx001A2B000001"), 0x3516u));
}

TEST_F(DeviceTest, ShellCommandsAreRecordedAndTheUidCommandSetsTheCloudUid) {
    start(1);
    const int32_t handle = login();
    EXPECT_EQ(shell(handle, "ls /config"), OVIX_OK);
    EXPECT_EQ(shell(handle, "echo TY123456789 >/config/tuya.cfg"), OVIX_OK);
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SHELL, 0, "ls", 3), OVIX_OK) << "shorter buffers are fine";
    ovix_device_info info{};
    ASSERT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_DEVICE_INFO, 0, &info, sizeof info), OVIX_OK);
    EXPECT_STREQ(info.cloud_uid, "TY123456789");
    const DeviceRecord record = camera().device_record();
    ASSERT_EQ(record.shell_commands.size(), 3u);
    EXPECT_EQ(record.shell_commands[1], "echo TY123456789 >/config/tuya.cfg");
    // A UID too long for the shell buffer loses the redirection, and with it its meaning.
    EXPECT_EQ(shell(handle, "echo " + std::string(120, 'U') + " >/config/tuya.cfg"), OVIX_OK);
    EXPECT_EQ(effective_device(camera().current()).cloud_uid, "TY123456789");
}

TEST_F(DeviceTest, LogoArrivesInChunksAndOnlyAWholePictureIsTaken) {
    start(1);
    const int32_t handle = login();
    std::vector<uint8_t> picture(2500);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 7);
    const int32_t length = static_cast<int32_t>(picture.size());
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_LOGO_START, 0, &length, 4), OVIX_OK);
    for (size_t offset = 0; offset < picture.size(); offset += 1024) {
        const auto n = static_cast<int32_t>(std::min<size_t>(1024, picture.size() - offset));
        ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_LOGO_DATA, 0, picture.data() + offset, n), OVIX_OK);
    }
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_LOGO_FINISH, 0, nullptr, 0), OVIX_OK);
    DeviceRecord record = camera().device_record();
    EXPECT_EQ(record.logo.announced, 2500);
    EXPECT_EQ(record.logo.chunks, (std::vector<uint32_t>{1024, 1024, 452}));
    EXPECT_EQ(record.logo.bytes, picture);
    EXPECT_EQ(record.logo_uploads, 1u);
    EXPECT_EQ(camera().device_state().logo_size, 2500u);

    // A chunk over 1024 bytes is refused; the picture is then short, and its finish fails.
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_LOGO_START, 0, &length, 4), OVIX_OK);
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_LOGO_DATA, 0, picture.data(), 1025), OVIX_ERR_BAD_REQUEST);
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_LOGO_DATA, 0, picture.data(), 1000), OVIX_OK);
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_LOGO_FINISH, 0, nullptr, 0), OVIX_ERR_FAILED);
    record = camera().device_record();
    EXPECT_EQ(record.logo.chunks, (std::vector<uint32_t>{1000}));
    EXPECT_EQ(record.logo.finish_result, OVIX_ERR_FAILED);
    EXPECT_EQ(record.logo_uploads, 1u);
}

TEST_F(DeviceTest, UnknownCommandsAnswer4AndEveryRequestIsRecorded) {
    start(1);
    const int32_t handle = login();
    uint8_t buffer[64];
    EXPECT_EQ(Network_ClientGetDeviceConfig(handle, 1234, 0, buffer, sizeof buffer), OVIX_ERR_UNSUPPORTED);
    EXPECT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_SET_CLOCK, 0, buffer, sizeof buffer), OVIX_ERR_UNSUPPORTED);
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, 4321, 0, buffer, sizeof buffer), OVIX_ERR_UNSUPPORTED);
    EXPECT_EQ(Network_ClientDeviceControl(handle, 77, 0, 0, 0), OVIX_ERR_UNSUPPORTED);
    EXPECT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 1, buffer, sizeof buffer), OVIX_ERR_BAD_REQUEST);
    const DeviceRecord record = camera().device_record();
    ASSERT_EQ(record.commands.size(), 5u);
    EXPECT_EQ(std::tuple(record.commands[2].request, record.commands[2].command, record.commands[2].result),
              std::tuple("set_config", 4321, int32_t{OVIX_ERR_UNSUPPORTED}));
    EXPECT_EQ(record.commands[3].request, "device_control");
}

TEST_F(DeviceTest, BusyAnswersComeOnTheNthCallOrWithTheirProbability) {
    start(2, [](CameraConfig& c) {
        if (c.mac_address == "00:1A:2B:00:00:01")
            c.device.faults.answers = {{"set_config", OVIX_CMD_SHELL, OVIX_ERR_BUSY, 2, 2, 0}};
        else
            c.device.faults.answers = {{"any", -1, OVIX_ERR_BUSY, 0, 1, 0.25}};
    });
    const int32_t first = login(1);
    uint8_t clock[72];
    EXPECT_EQ(shell(first, "date"), OVIX_OK);
    EXPECT_EQ(Network_ClientGetDeviceConfig(first, OVIX_CMD_GET_CLOCK, 0, clock, sizeof clock), OVIX_OK) << "another command";
    EXPECT_EQ(shell(first, "date"), OVIX_ERR_BUSY);
    EXPECT_EQ(shell(first, "date"), OVIX_ERR_BUSY);
    EXPECT_EQ(shell(first, "date"), OVIX_OK);
    EXPECT_EQ(camera(1).device_record().shell_commands.size(), 2u) << "a busy answer carries nothing out";

    const int32_t second = login(2);
    int busy = 0;
    for (int i = 0; i < 400; ++i) busy += Network_ClientGetCameraAdvanceConfig(second, 0, clock, 64) == OVIX_ERR_BUSY ? 1 : 0;
    EXPECT_GT(busy, 50);
    EXPECT_LT(busy, 150);
}
