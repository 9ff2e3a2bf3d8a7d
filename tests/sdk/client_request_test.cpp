#include "SdkTest.h"

#include <cstring>

using namespace ovix;

using ClientRequest = SdkTest;

TEST_F(ClientRequest, RecordsGoOutWholeAndComeBackZeroFilled) {
    int32_t handle = login();
    customer_cfg cfg{};
    cfg.apply_time_zone = 1;
    cfg.time_zone = -43200;
    std::snprintf(cfg.password, sizeof cfg.password, "%s", "new-default");
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_CUSTOMER_CFG, 0, &cfg, sizeof cfg), OVIX_OK);
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_LOGO_FINISH, 0, nullptr, 0), OVIX_OK);
    auto sets = device.received(Kind::SetConfig);
    ASSERT_EQ(sets.size(), 2u);
    ConfigSet set;
    ASSERT_TRUE(decode(sets[0].payload, set));
    EXPECT_EQ(set.command, OVIX_CMD_CUSTOMER_CFG);
    ASSERT_EQ(set.data.size(), 1164u);
    EXPECT_EQ(std::memcmp(set.data.data(), &cfg, sizeof cfg), 0);
    ASSERT_TRUE(decode(sets[1].payload, set));
    EXPECT_EQ(set.command, OVIX_CMD_LOGO_FINISH);
    EXPECT_TRUE(set.data.empty());

    // The fake answers (command + i) for byte i, and only 72 of the 100 bytes asked for.
    device.on(Kind::GetConfig, [](FakeDevice::Peer& peer, const Frame& request) {
        ConfigGet get;
        decode(request.payload, get);
        Bytes data(72);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(get.command + static_cast<int>(i));
        peer.answer(request, OVIX_OK, data);
    });
    uint8_t buffer[100];
    std::memset(buffer, 0xEE, sizeof buffer);
    ASSERT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, buffer, sizeof buffer), OVIX_OK);
    EXPECT_EQ(buffer[0], static_cast<uint8_t>(1000 & 0xFF));
    EXPECT_EQ(buffer[71], static_cast<uint8_t>((1000 + 71) & 0xFF));
    EXPECT_EQ(buffer[72], 0);
    EXPECT_EQ(buffer[99], 0);
    // More than asked for is cut to the buffer.
    ASSERT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, buffer, 8), OVIX_OK);
    EXPECT_EQ(buffer[8], static_cast<uint8_t>((1000 + 8) & 0xFF));  // from the previous call, untouched

    ovix_capability caps;
    ASSERT_EQ(Network_ClientGetCameraAdvanceConfig(handle, 0, &caps, sizeof caps), OVIX_OK);
    EXPECT_EQ(caps.microphone, 1);
    EXPECT_EQ(caps.lamp_type, 2);
    EXPECT_EQ(caps.ptz, 0);
}

TEST_F(ClientRequest, ControlsReachTheDeviceWithTheirValues) {
    int32_t handle = login();
    ovix_ptz ptz{OVIX_PTZ_MOVE, OVIX_PTZ_LEFT, 0};
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 0), OVIX_OK);
    EXPECT_EQ(Network_ClientLDRControl(handle, OVIX_LDR_LAMP, 6), OVIX_OK);
    EXPECT_EQ(Network_ClientIrcutControl(handle, 1), OVIX_OK);
    EXPECT_EQ(Network_ClientPTZControl(handle, 0, &ptz), OVIX_OK);
    EXPECT_EQ(Network_ClientPlayVoiceData_test(handle, 1), OVIX_OK);

    DeviceControl control;
    ASSERT_TRUE(decode(device.received(Kind::DeviceControl).at(0).payload, control));
    EXPECT_EQ(control.command, OVIX_CTRL_LAMP);
    EXPECT_EQ(control.value1, 1);
    EXPECT_EQ(control.value2, 0);
    CodeValue ldr;
    ASSERT_TRUE(decode(device.received(Kind::LdrControl).at(0).payload, ldr));
    EXPECT_EQ(ldr.code, OVIX_LDR_LAMP);
    EXPECT_EQ(ldr.value, 6);
    int32_t ircut = 0, voice = 0;
    ASSERT_TRUE(decode_i32(device.received(Kind::IrcutControl).at(0).payload, ircut));
    ASSERT_TRUE(decode_i32(device.received(Kind::PlayVoice).at(0).payload, voice));
    EXPECT_EQ(ircut, 1);
    EXPECT_EQ(voice, 1);
    PtzRequest ptz_seen;
    ASSERT_TRUE(decode(device.received(Kind::PtzControl).at(0).payload, ptz_seen));
    EXPECT_EQ(ptz_seen.action, OVIX_PTZ_MOVE);
    EXPECT_EQ(ptz_seen.direction, OVIX_PTZ_LEFT);
}

TEST_F(ClientRequest, DeviceResultsPassThroughBusyIncluded) {
    int32_t handle = login();
    int calls = 0;
    device.on(Kind::SetConfig, [&calls](FakeDevice::Peer& peer, const Frame& request) {
        peer.answer(request, ++calls == 1 ? OVIX_ERR_BUSY : OVIX_OK);
    });
    device.on(Kind::DeviceControl, [](FakeDevice::Peer& peer, const Frame& request) {
        peer.answer(request, OVIX_ERR_UNSUPPORTED);
    });
    char command[OVIX_SHELL_COMMAND_SIZE] = "echo hello";
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SHELL, 0, command, sizeof command), OVIX_ERR_BUSY);
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SHELL, 0, command, sizeof command), OVIX_OK);
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_FACTORY_RESET, 0, 0, 0), OVIX_ERR_UNSUPPORTED);
}

TEST_F(ClientRequest, UnansweredRequestTimesOutAndTheLoginLivesOn) {
    Clock::set_speed(20.0);
    int32_t handle = login();
    std::atomic<int> asked{0};
    device.on(Kind::IrcutControl, [&asked](FakeDevice::Peer& peer, const Frame& request) {
        if (++asked > 1) peer.answer(request, OVIX_OK);
    });
    EXPECT_EQ(Network_ClientIrcutControl(handle, 0), OVIX_ERR_TIMEOUT);
    EXPECT_EQ(Network_ClientIrcutControl(handle, 0), OVIX_OK);
}

TEST_F(ClientRequest, AnswersFindTheirRequestWhenManyThreadsShareALogin) {
    int32_t handle = login();
    // Each answer echoes the asked length, so a mix-up shows in the data.
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                int32_t length = 1 + t * 100 + i;
                std::vector<uint8_t> buffer(static_cast<size_t>(length));
                if (Network_ClientGetDeviceConfig(handle, 2000 + t, 0, buffer.data(), length) != OVIX_OK ||
                    buffer[0] != static_cast<uint8_t>(2000 + t))
                    ++wrong;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong, 0);
}
