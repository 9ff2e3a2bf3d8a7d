#include "SdkTest.h"

using namespace ovix;

using ClientLogin = SdkTest;

// What a login gives back, a handle or a refusal's code and none, is the simulator's login
// tests through this client; here what the client alone does.
TEST_F(ClientLogin, PasswordNeverCrossesTheWire) {
    login();
    auto logins = device.received(Kind::Login);
    ASSERT_EQ(logins.size(), 1u);
    std::string wire(logins[0].payload.begin(), logins[0].payload.end());
    EXPECT_NE(wire.find("Admin"), std::string::npos);
    EXPECT_EQ(wire.find("tevoq"), std::string::npos);
}

TEST_F(ClientLogin, BadHandlesAndArgumentsFailWithoutHarm) {
    int32_t handle = login();
    uint8_t buffer[72];
    int32_t percent = 0;
    ovix_ptz ptz{OVIX_PTZ_MOVE, OVIX_PTZ_UP, 0};
    for (int32_t bad : {-1, handle + 1000, INT32_MAX}) {
        EXPECT_EQ(Network_ClientGetDeviceConfig(bad, OVIX_CMD_GET_CLOCK, 0, buffer, 72), OVIX_ERR_BAD_HANDLE);
        EXPECT_EQ(Network_ClientSetDeviceConfig(bad, OVIX_CMD_SET_CLOCK, 0, buffer, 72), OVIX_ERR_BAD_HANDLE);
        EXPECT_EQ(Network_ClientDeviceControl(bad, OVIX_CTRL_LAMP, 0, 1, 1), OVIX_ERR_BAD_HANDLE);
        EXPECT_EQ(Network_ClientPTZControl(bad, 0, &ptz), OVIX_ERR_BAD_HANDLE);
        EXPECT_EQ(Network_ClientLogout(bad), OVIX_ERR_BAD_HANDLE);
        EXPECT_EQ(Network_ClientSetEventCB(bad, EventLog::callback, nullptr), OVIX_ERR_BAD_HANDLE);
        EXPECT_EQ(Network_ClientGetUpgradeStatus(bad, &percent), OVIX_ERR_BAD_HANDLE);
        EXPECT_EQ(Network_ClientStopUpgrade(bad), OVIX_ERR_BAD_HANDLE);
        EXPECT_EQ(Network_ClientStopLive(bad), OVIX_ERR_BAD_HANDLE);
        EXPECT_EQ(Network_ClientLiveControl(bad, OVIX_LIVE_MIC_OPEN, nullptr), OVIX_ERR_BAD_HANDLE);
    }
    // A login handle is no upgrade or live handle.
    EXPECT_EQ(Network_ClientGetUpgradeStatus(handle, &percent), OVIX_ERR_BAD_HANDLE);
    EXPECT_EQ(Network_ClientStopLive(handle), OVIX_ERR_BAD_HANDLE);

    EXPECT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, nullptr, 72), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, buffer, 0), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SET_CLOCK, 0, nullptr, 72), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SET_CLOCK, 0, buffer, -1), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientGetCameraAdvanceConfig(handle, 0, nullptr, 64), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientPTZControl(handle, 0, nullptr), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientGetUpgradeStatus(handle, nullptr), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientStartUpgrade(nullptr, handle, "/tmp/x"), OVIX_ERR_BAD_ARGUMENT);
    int32_t out = 5;
    EXPECT_EQ(Network_ClientStartUpgrade(&out, handle, nullptr), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(out, -1);
    EXPECT_EQ(Network_ClientStartLive(&out, handle, nullptr, 0, 0), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientLogin(nullptr, "127.0.0.1", device.port(), "Admin", "tevoq"), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientLogin(&out, nullptr, device.port(), "Admin", "tevoq"), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientLogin(&out, "127.0.0.1", 0, "Admin", "tevoq"), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientLogin(&out, "not-an-address", device.port(), "Admin", "tevoq"), OVIX_ERR_CONNECT);

    // After logout the handle is stale for good.
    EXPECT_EQ(Network_ClientLogout(handle), OVIX_OK);
    EXPECT_EQ(Network_ClientLogout(handle), OVIX_ERR_BAD_HANDLE);
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 1), OVIX_ERR_BAD_HANDLE);
}

TEST_F(ClientLogin, InitIsCountedAndTheLastUnInitClosesEverything) {
    int32_t handle = login();
    ASSERT_EQ(Network_ClientInit(), OVIX_OK);    // a second window
    ASSERT_EQ(Network_ClientUnInit(), OVIX_OK);  // it closes; the first still works
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 1), OVIX_OK);

    ASSERT_EQ(Network_ClientUnInit(), OVIX_OK);
    EXPECT_TRUE(eventually([&] { return device.open_connections() == 0; }));
    int32_t out = 3;
    EXPECT_EQ(Network_ClientLogin(&out, "127.0.0.1", device.port(), "Admin", "tevoq"), OVIX_ERR_NOT_INIT);
    EXPECT_EQ(out, -1);
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 1), OVIX_ERR_NOT_INIT);
    EXPECT_EQ(Network_ClientUnInit(), OVIX_ERR_NOT_INIT);
    ASSERT_EQ(Network_ClientInit(), OVIX_OK);  // for TearDown
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 1), OVIX_ERR_BAD_HANDLE);
}

// Why a login drops and what it reports is the hostile-device table's; a login logged out
// before hears nothing of it.
TEST_F(ClientLogin, ALoginLoggedOutHearsNothingOfALaterDrop) {
    const int32_t first = login(), second = login();
    EventLog first_events, second_events;
    ASSERT_EQ(Network_ClientSetEventCB(first, EventLog::callback, &first_events), OVIX_OK);
    ASSERT_EQ(Network_ClientSetEventCB(second, EventLog::callback, &second_events), OVIX_OK);
    EXPECT_EQ(Network_ClientLogout(second), OVIX_OK);
    device.close_all();
    ASSERT_TRUE(eventually([&] { return first_events.count() == 1; }));
    EXPECT_EQ(second_events.count(), 0u);
}

TEST_F(ClientLogin, DeviceEventsReachTheCallbackWithTheirCodes) {
    int32_t handle = login();
    EventLog events;
    Network_ClientSetEventCB(handle, EventLog::callback, &events);
    device.push_all(Kind::Event, encode(DeviceEvent{0x20005, 3, -4, "motion in zone 3"}));
    ASSERT_TRUE(eventually([&] { return events.count() == 1; }));
    const ovix_event event = events.at(0);
    EXPECT_EQ(std::tuple(event.main, event.sub, event.value, std::string(event.text), event.login_handle),
              std::tuple(0x20005, 3, -4, std::string("motion in zone 3"), handle));
}

namespace {
struct Reentry {
    std::atomic<int32_t> request_result{0};
    std::atomic<int32_t> logout_result{1};
};
int32_t logout_from_callback(int32_t handle, const ovix_event*, void* context) {
    auto* r = static_cast<Reentry*>(context);
    r->request_result = Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 1);
    r->logout_result = Network_ClientLogout(handle);
    return 0;
}
} // namespace

TEST_F(ClientLogin, CallbackMayLogOutButNotWaitForItsOwnAnswers) {
    int32_t handle = login();
    Reentry reentry;
    Network_ClientSetEventCB(handle, logout_from_callback, &reentry);
    device.push_all(Kind::Event, encode(DeviceEvent{0x20001, 0, 0, ""}));
    ASSERT_TRUE(eventually([&] { return reentry.logout_result == OVIX_OK; }));
    EXPECT_EQ(reentry.request_result, OVIX_ERR_REENTRANT);
    EXPECT_TRUE(eventually([&] { return device.open_connections() == 0; }));
}
