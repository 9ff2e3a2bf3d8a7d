// Logins on a simulated camera: users and passwords, the user limit, injected refusals, and
// a password the tool changes.
#include "DeviceFixture.h"

using namespace device_test;

TEST_F(DeviceTest, DefaultAdminHasAnEmptyPasswordOnPort6001AndOthersAreRefused) {
    start(1);
    EXPECT_EQ(camera().current().cmd_port, 6001) << "the test station always logs in at 6001";
    int32_t handle = 77;
    EXPECT_EQ(try_login(&handle, "tevoq"), OVIX_ERR_PASSWORD);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(try_login(&handle, "", "nobody"), OVIX_ERR_USER_UNKNOWN);
    EXPECT_EQ(try_login(&handle, ""), OVIX_OK);
    EXPECT_NE(handle, -1);

    const DeviceRecord record = camera().device_record();
    EXPECT_EQ(std::pair(record.logins_accepted, record.logins_refused), std::pair(uint64_t{1}, uint64_t{2}));
    ASSERT_EQ(record.logins.size(), 3u);
    EXPECT_EQ(record.logins[0].result, OVIX_ERR_PASSWORD);
    EXPECT_EQ(record.logins[1].user, "nobody");
    EXPECT_EQ(camera().device_state().active_logins, 1);
    EXPECT_EQ(Network_ClientLogout(handle), OVIX_OK);
    EXPECT_TRUE(eventually([&] { return camera().device_state().active_logins == 0; }));
}

TEST_F(DeviceTest, TestStationAccountAndExtraUsersComeFromTheConfiguration) {
    start(1, [](CameraConfig& c) { c.device.users = {{"Admin", "tevoq"}, {"operator", "op1"}}; });
    int32_t handle = -1;
    EXPECT_EQ(try_login(&handle, ""), OVIX_ERR_PASSWORD);
    EXPECT_EQ(try_login(&handle, "tevoq"), OVIX_OK);
    EXPECT_EQ(try_login(&handle, "op1", "operator"), OVIX_OK);
}

TEST_F(DeviceTest, InjectedRefusalsComeOnTheirTurnThenLoginsSucceed) {
    start(1, [](CameraConfig& c) {
        c.device.faults.answers = {{"login", -1, OVIX_ERR_REFUSED_NOW, 1, 1, 0}, {"login", -1, OVIX_ERR_USER_UNKNOWN, 2, 1, 0},
                                   {"login", -1, OVIX_ERR_USER_LIMIT, 3, 1, 0}};
    });
    int32_t handle = -1;
    for (const int32_t expected : {OVIX_ERR_REFUSED_NOW, OVIX_ERR_USER_UNKNOWN, OVIX_ERR_USER_LIMIT, OVIX_OK})
        EXPECT_EQ(try_login(&handle), expected);
    EXPECT_EQ(camera().device_state().active_logins, 1) << "refused logins hold no place";
}

TEST_F(DeviceTest, ChangedPasswordHoldsForLaterLoginsUntilAPasswordReset) {
    start(1);
    const int32_t handle = login();
    customer_cfg cfg = empty_settings();
    cfg.apply_password = 1;
    std::strcpy(cfg.password, "s3cret");
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_CUSTOMER_CFG, 0, &cfg, sizeof cfg), OVIX_OK);
    int32_t later = -1;
    EXPECT_EQ(try_login(&later, ""), OVIX_ERR_PASSWORD);
    EXPECT_EQ(try_login(&later, "s3cret"), OVIX_OK);

    EXPECT_EQ(Network_ClientDeviceControl(later, OVIX_CTRL_PASSWORD_RESET, 0, 0, 0), OVIX_OK);
    EXPECT_EQ(try_login(&later, "s3cret"), OVIX_ERR_PASSWORD);
    EXPECT_EQ(try_login(&later, ""), OVIX_OK);
    EXPECT_EQ(camera().device_record().password_resets, 1u);
}

namespace {

// Two default cameras in a fleet that serves at most `logins` logins at once.
std::unique_ptr<SimFleet> fleet_with_login_limit(int logins) {
    FleetConfig config;
    config.cameras = generate_cameras(2);
    config.max_connections = logins;
    auto fleet = std::make_unique<SimFleet>(config);
    return fleet->start() ? std::move(fleet) : nullptr;
}

} // namespace

// A camera's own limit and the fleet's, each refusing with 15 until a login ends.
TEST_F(DeviceTest, LoginLimitsRefuseWith15UntilALoginEnds) {
    for (const bool fleet_wide : {true, false}) {  // the fleet-wide one first: start() replaces it
        if (fleet_wide) {
            fleet = fleet_with_login_limit(2);
            ASSERT_TRUE(fleet);
        } else {
            start(1, [](CameraConfig& c) { c.device.user_limit = 2; });
        }
        const size_t other = fleet_wide ? 2 : 1;
        const int32_t first = login(1);
        login(other);
        int32_t third = -1;
        EXPECT_EQ(try_login(&third, "", "Admin", 1), OVIX_ERR_USER_LIMIT) << fleet_wide;
        EXPECT_EQ(Network_ClientLogout(first), OVIX_OK);
        EXPECT_TRUE(eventually([&] { return try_login(&third, "", "Admin", other) == OVIX_OK; })) << fleet_wide;
    }
}
