// Controls of a simulated camera: lamps, LDR settings, IR-cut, pan/tilt, the speaker, the
// capability record and the factory reset.
#include "DeviceFixture.h"

using namespace device_test;

TEST_F(DeviceTest, LampsSettingsAndMotionTakeEffectAndAreRecorded) {
    start(1);
    const int32_t handle = login();
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 1), OVIX_OK);
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 0), OVIX_OK);
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 0, 1), OVIX_OK);
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 2, 1), OVIX_ERR_BAD_REQUEST);
    for (auto [code, value] : {std::pair{1042, 1}, {1043, 6}, {1044, 1}, {1045, 0}, {1046, 1}})
        EXPECT_EQ(Network_ClientLDRControl(handle, code, value), OVIX_OK) << code;
    EXPECT_EQ(Network_ClientLDRControl(handle, 1043, 3), OVIX_ERR_BAD_REQUEST);
    EXPECT_EQ(Network_ClientLDRControl(handle, 1047, 0), OVIX_ERR_UNSUPPORTED);
    EXPECT_EQ(Network_ClientIrcutControl(handle, 0), OVIX_OK);
    const ovix_ptz up{OVIX_PTZ_MOVE, OVIX_PTZ_UP, 0}, stop{OVIX_PTZ_MOVE, OVIX_PTZ_STOP, 0}, odd{OVIX_PTZ_MOVE, 5, 0};
    EXPECT_EQ(Network_ClientPTZControl(handle, 0, &up), OVIX_OK);
    EXPECT_EQ(Network_ClientPTZControl(handle, 0, &stop), OVIX_OK);
    EXPECT_EQ(Network_ClientPTZControl(handle, 0, &odd), OVIX_ERR_BAD_REQUEST);
    EXPECT_EQ(Network_ClientPlayVoiceData_test(handle, 1), OVIX_OK);

    const DeviceState state = camera().device_state();
    EXPECT_EQ(std::tuple(state.white_lamp, state.infrared_lamp, state.ircut), std::tuple(false, true, 0));
    EXPECT_EQ(state.ldr, (std::map<int32_t, int32_t>{{1042, 1}, {1043, 6}, {1044, 1}, {1045, 0}, {1046, 1}}));
    const DeviceRecord record = camera().device_record();
    ASSERT_EQ(record.controls.size(), 4u);
    EXPECT_EQ(record.controls[1].value2, 0);
    EXPECT_EQ(record.ldr.size(), 7u) << "refused writes are recorded too";
    ASSERT_EQ(record.ptz.size(), 3u);
    EXPECT_EQ(record.ptz[1].direction, OVIX_PTZ_STOP);
    EXPECT_EQ(record.voice, (std::deque<int32_t>{1}));
}

TEST_F(DeviceTest, CapabilityRecordDescribesTheCameraAndMissingPartsAnswer4) {
    start(1, [](CameraConfig& c) { c.device.capability = {.speaker = 0, .ptz = 0, .lamp_type = 3, .lamp_board = 2}; });
    const int32_t handle = login();
    ovix_capability capability;
    std::memset(&capability, 0xEE, sizeof capability);
    ASSERT_EQ(Network_ClientGetCameraAdvanceConfig(handle, 0, &capability, sizeof capability), OVIX_OK);
    // Microphone, speaker, IR-cut, card slot, PTZ, lamp type, digital zoom, lamp board, then zeros.
    EXPECT_EQ(bytes_of(&capability.microphone, 8), (std::vector<uint8_t>{1, 0, 1, 1, 0, 3, 1, 2}));
    EXPECT_EQ(capability.reserved2[51], 0);
    const ovix_ptz left{OVIX_PTZ_MOVE, OVIX_PTZ_LEFT, 0};
    EXPECT_EQ(Network_ClientPTZControl(handle, 0, &left), OVIX_ERR_UNSUPPORTED);
    EXPECT_EQ(Network_ClientPlayVoiceData_test(handle, 1), OVIX_ERR_UNSUPPORTED);
}

TEST_F(DeviceTest, FactoryResetAnswersThenRebootsIntoTheDefaults) {
    start(1, [](CameraConfig& c) { c.device.reboot_ms = 4000; });
    int32_t handle = login();
    EventLog events;
    ASSERT_EQ(Network_ClientSetEventCB(handle, &EventLog::callback, &events), OVIX_OK);
    customer_cfg cfg = empty_settings();
    cfg.apply_password = 1;
    std::strcpy(cfg.password, "changed");
    cfg.apply_language = 1, cfg.language = 4;
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_CUSTOMER_CFG, 0, &cfg, sizeof cfg), OVIX_OK);
    ASSERT_EQ(Network_ClientLDRControl(handle, 1046, 1), OVIX_OK);

    Clock::set_speed(10);
    ASSERT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_FACTORY_RESET, 0, 0, 0), OVIX_OK);
    ASSERT_TRUE(eventually([&] { return events.dropped(); })) << "the reboot drops the login";
    EXPECT_FALSE(camera().online());
    ASSERT_TRUE(eventually([&] { return camera().online(); }));
    Network_ClientLogout(handle);

    EXPECT_EQ(camera().current().device.settings, CameraSettings{});
    EXPECT_TRUE(camera().device_state().ldr.empty());
    EXPECT_EQ(try_login(&handle, "changed"), OVIX_ERR_PASSWORD);
    EXPECT_EQ(try_login(&handle, ""), OVIX_OK) << "the factory password is back";
    const DeviceRecord record = camera().device_record();
    EXPECT_EQ(std::pair(record.factory_resets, record.reboots), std::pair(uint64_t{1}, uint64_t{1}));
}
