// The test station's session and service loop against a recording fake SDK: the calls made,
// the result lines and their places, and how a stop ends a timed test.
#include "support/FakeStationSdk.h"
#include "foundation/Clock.h"
#include "station/ServiceLoop.h"
#include "station/TestSession.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

using Lines = std::vector<std::string>;

std::string key(const std::string& k) { return k; }

struct Station : ::testing::Test {
    FakeStationSdk sdk;
    SessionInputs in;

    void SetUp() override {
        in.ip = "10.0.0.5", in.device_version = "1.2.3", in.expected_version = "1.2.3";
        std::strcpy(sdk.camera.info.qr_text, "something else");
    }
    SessionOutcome open(int32_t old_login = -1, int32_t old_live = -1) {
        return open_test_session(sdk, in, old_login, old_live, key);
    }
};

TEST_F(Station, FullSessionClosesTheOldOneAndWritesEveryLineInItsPlace) {
    in.version_check = in.auto_config = true;
    in.config = {0, 0, 1, 1, 0};
    const SessionOutcome out = open(3, 4);
    EXPECT_EQ(sdk.calls(), (Lines{"stop_live 4", "logout 3", "login 10.0.0.5:6001 Admin tevoq", "get_config 7 1100",
                                  "capability 7", "get_config 7 910", "start_live 7 ch0 stream2", "live 9 10 0",
                                  "live 9 6 target", "ldr 7 1042 1", "ldr 7 1043 5", "ldr 7 1045 1", "ldr 7 1044 0"}));
    EXPECT_EQ(out.lines.lines(), (Lines{"IDS_VERSION_NORMAL", "IDS_SUPPORT_WHITE_LIGHT", "IDS_SUPPORT_MIC",
                                        "IDS_UNSUPPORT_SPEAKER", "IDS_LIVE_NORMAL", "IDS_MANUAL_OPERATION",
                                        "IDS_SETTING_SUCCESS"}));
    EXPECT_EQ(out.result, 0);
    EXPECT_TRUE(out.live && out.show_video && out.mic && out.ptz && !out.speaker && !out.network_error);
    EXPECT_EQ(out.lamps, (LampButtons{true, false}));
    EXPECT_EQ((Lines{out.uid, out.pid, out.qr_text, out.tf_text}), (Lines{"UID-0001", "PID-7", "UID-0001", "TF 32G"}));
    EXPECT_EQ(std::pair(out.login_handle, out.live_handle), std::pair(7, 9));
}

TEST_F(Station, LinesCountFromTheVersionLineAndTheHardLightLineSortsByText) {
    const struct { bool check; std::string expected, device; uint8_t board; bool config; Lines lines; } rows[] = {
        {false, "", "1.2.3", 1, false, {"IDS_SUPPORT_WHITE_LIGHT", "IDS_SUPPORT_MIC", "IDS_UNSUPPORT_SPEAKER", "IDS_LIVE_NORMAL",
                               "IDS_MANUAL_OPERATION"}},
        {true, "1.2.3", "1.2.3", 2, true, {"IDS_HARD_LIGHT", "IDS_VERSION_NORMAL", "IDS_SUPPORT_MIC", "IDS_UNSUPPORT_SPEAKER",
                                  "IDS_LIVE_NORMAL", "IDS_MANUAL_OPERATION", "IDS_SETTING_SUCCESS"}},
        // Numbers equal, texts not: no version line, and the rest still shows.
        {true, "1.2.3.0", "1.2.3.7", 1, false, {"IDS_SUPPORT_WHITE_LIGHT", "IDS_SUPPORT_MIC", "IDS_UNSUPPORT_SPEAKER",
                                     "IDS_LIVE_NORMAL", "IDS_MANUAL_OPERATION"}},
    };
    for (const auto& r : rows) {
        in.version_check = r.check, in.expected_version = r.expected, in.device_version = r.device;
        in.auto_config = r.config;
        sdk.camera.cap.lamp_board = r.board;
        const SessionOutcome out = open();
        EXPECT_EQ(out.lines.lines(), r.lines) << r.expected;
        EXPECT_EQ(out.lamps.has_value(), r.board != 2);
    }
}

TEST_F(Station, HardLightAutoConfigSendsNoLampChoiceAndReportsTheLastResult) {
    in.auto_config = true;
    in.config = {1, 2, 1, 1, 1};
    sdk.camera.ldr_result = 1;
    const SessionOutcome out = open();
    EXPECT_EQ(sdk.calls("ldr"), (Lines{"ldr 7 1042 2", "ldr 7 1043 2", "ldr 7 1045 1", "ldr 7 1044 1"}));
    EXPECT_EQ(out.lines.lines().back(), "IDS_SETTING_FAILED");
}

// Which verdict has which line is the version check's table; a failed one ends here.
TEST_F(Station, FailedVersionEndsLoggedInWithOneLine) {
    in.version_check = true;
    in.device_version = "1.2.4";
    const SessionOutcome out = open();
    EXPECT_EQ(out.lines.lines(), Lines{"UDS_INSERT_VERSION_LOW"});
    EXPECT_EQ(sdk.calls(), Lines{"login 10.0.0.5:6001 Admin tevoq"});
    EXPECT_EQ(std::pair(out.result, out.login_handle), std::pair(-1, 7));
    EXPECT_FALSE(out.show_video);
}

TEST_F(Station, LiveFailureKeepsCapabilitiesButNotLiveButtons) {
    in.version_check = true;
    sdk.camera.live_result = 1;
    const SessionOutcome out = open();
    EXPECT_EQ(out.lines.lines(), (Lines{"IDS_VERSION_NORMAL", "IDS_SUPPORT_WHITE_LIGHT", "IDS_SUPPORT_MIC",
                                        "IDS_UNSUPPORT_SPEAKER", "IDS_LIVE_EROOR"}));
    EXPECT_EQ(std::pair(out.result, out.live_handle), std::pair(-1, -1));
    EXPECT_TRUE(!out.live && out.show_video && out.mic && out.lamps);
    EXPECT_TRUE(sdk.calls("live ").empty());
}

TEST_F(Station, NetworkErrorStopsRightAfterLogin) {
    for (const int32_t result : {OVIX_ERR_REFUSED_NOW, OVIX_ERR_BUSY}) {
        sdk.clear_calls();
        sdk.camera.login_result = result;
        const SessionOutcome out = open();
        EXPECT_TRUE(out.network_error);
        EXPECT_EQ(sdk.calls(), Lines{"login 10.0.0.5:6001 Admin tevoq"});
        EXPECT_EQ(out.lines.size(), 0u);
    }
}

TEST_F(Station, NoCardShowsNoneAndTheQrTextIsTheWholeUid) {
    std::memset(sdk.camera.info.cloud_uid, 'U', sizeof sdk.camera.info.cloud_uid);  // no terminator in the field
    for (const int32_t disks : {0, -1}) {
        sdk.camera.usb.disk_cnt = disks;
        const SessionOutcome out = open();
        EXPECT_EQ(out.tf_text, "NONE");
        EXPECT_EQ(out.qr_text, std::string(64, 'U'));
    }
}

TEST_F(Station, ServiceRunsQueuedTestsInOrderAndIgnoresARepeatWhileRunning) {
    Clock::set_speed(1000);
    ServiceLoop loop(sdk);
    loop.set_handles([] { return 7; }, [] { return 9; });
    bool repeat_taken = true;
    sdk.on_call = [&](const std::string& line) {
        if (line == "live 9 3 -") repeat_taken = loop.request_mic();
    };
    EXPECT_TRUE(loop.request_ir() && loop.request_white() && loop.request_mic());
    EXPECT_FALSE(loop.request_white());
    loop.run_pass(-1, -1);
    Clock::set_speed(1);
    EXPECT_FALSE(repeat_taken);
    EXPECT_EQ(sdk.calls(), (Lines{"live 9 3 -", "live 9 4 -", "device 7 100 0 1 1", "device 7 100 0 0 1",
                                  "device 7 100 0 1 0", "device 7 100 0 0 0"}));
    EXPECT_FALSE(loop.mic_running() || loop.white_running() || loop.ir_running());
}

TEST_F(Station, StopCutsATimedTestShortSendsItsCloseAndDropsTheRest) {
    // Slowed so that a lamp wait that ignored the stop would never end.
    Clock::set_speed(0.001);
    ServiceLoop loop(sdk);
    sdk.on_call = [&](const std::string& line) {
        if (line == "device -1 100 0 1 1") loop.stop();
    };
    EXPECT_TRUE(loop.request_ir() && loop.request_white());
    // The window's service thread; the stop comes from the lamp's first command.
    std::thread([&] {
        while (!loop.stopping()) loop.run_pass(-1, -1);
    }).join();
    Clock::set_speed(1);
    EXPECT_EQ(sdk.calls(), (Lines{"device -1 100 0 1 1", "device -1 100 0 0 1"}));
    EXPECT_FALSE(loop.request_mic());  // stopped until restarted
    loop.restart();
    EXPECT_TRUE(loop.request_mic());
    EXPECT_FALSE(loop.ir_running());
}

} // namespace
