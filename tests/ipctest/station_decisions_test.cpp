// The test station's pure decisions: version verdicts, capability buttons, configuration
// pairs, the watch thread's choice, PTZ and zoom records.
#include "station/CapabilityView.h"
#include "station/ConfigItems.h"
#include "station/PtzCommand.h"
#include "station/VersionCheck.h"
#include "station/WatchLoop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using V = VersionVerdict;

TEST(VersionCheck, ComparesEachNumberThenTheTextOverTheExpectedLength) {
    const struct { const char* expected; const char* device; V verdict; } rows[] = {
        {"1.2.3", "1.2.3", V::Normal},   {"1.2.3", "1.2.4", V::TooOld},   {"1.2.3", "1.1.9", V::TooNew},
        {"1.2.3", "2.0.1", V::TooNew},   {"1.2.3", "1.2.3.7", V::Normal}, {"01.2.3", "1.2.3", V::Normal},
        {"1.2.3.0", "1.2.3.7", V::NoLine}, {"1.2.3-9", "1.2.3", V::Normal},
    };
    for (const auto& r : rows) EXPECT_EQ(check_version(r.expected, r.device), r.verdict) << r.expected << " vs " << r.device;
    EXPECT_STREQ(version_line_key(V::TooNew), "IDS_VERSION_ERROR");
    EXPECT_STREQ(version_line_key(V::TooOld), "UDS_INSERT_VERSION_LOW");
    EXPECT_EQ(version_line_key(V::NoLine), nullptr);
    EXPECT_FALSE(version_text_long_enough("1.2"));
    EXPECT_TRUE(version_text_long_enough("1.2.0"));
}

TEST(VersionCheck, ParsesAtMostFourBoundedFieldsAndLeavesMissingOnes) {
    uint32_t v[4] = {91, 92, 93, 94};
    parse_version("5..6", v[0], v[1], v[2], v[3]);
    EXPECT_EQ((std::vector<uint32_t>{v[0], v[1], v[2], v[3]}), (std::vector<uint32_t>{5, 0, 6, 94}));
    const std::string long_field = std::string(27, '0') + "99.1.2.3.4";  // digits past 27 are dropped
    parse_version(long_field.c_str(), v[0], v[1], v[2], v[3]);
    EXPECT_EQ((std::vector<uint32_t>{v[0], v[1], v[2], v[3]}), (std::vector<uint32_t>{0, 1, 2, 3}));
}

TEST(CapabilityView, LampTypesEnableTheirButtonsAndTheHardLightBoardHidesThem) {
    const struct { int8_t type; const char* key; LampButtons buttons; } rows[] = {
        {0, "IDS_UNSUPPORT_LIGHT", {false, false}},         {1, "IDS_SUPPORT_DOUBLE_LIGHT", {true, true}},
        {2, "IDS_SUPPORT_WHITE_LIGHT", {true, false}},       {3, "IDS_SUPPORT_INFRARED_LAMP", {false, true}},
        {4, "IDS_SUPPORT_PWM_DOUBLE_LIGHT", {true, true}},   {5, "IDS_SUPPORT_PWM_WHITE_LIGHT", {true, false}},
        {6, "IDS_SUPPORT_PWM_INFRARED_LAMP", {false, true}}, {7, "IDS_UNSUPPORT_LIGHT", {false, false}},
        {-1, "IDS_UNSUPPORT_LIGHT", {false, false}},        {-128, "IDS_UNSUPPORT_LIGHT", {false, false}},
    };
    for (const auto& r : rows) {
        EXPECT_STREQ(lamp_line_key(r.type), r.key) << int{r.type};
        EXPECT_EQ(lamp_buttons(r.type), r.buttons) << int{r.type};
    }
    ovix_capability cap{};
    cap.lamp_board = 2, cap.lamp_type = 1, cap.microphone = 1, cap.ptz = 1;
    cap.speaker = 2;  // only 1 means present
    const CapabilityView hard = capability_view(cap);
    EXPECT_EQ((std::vector<std::string>{hard.lamp_key, hard.speaker_key}),
              (std::vector<std::string>{"IDS_HARD_LIGHT", "IDS_UNSUPPORT_SPEAKER"}));
    EXPECT_TRUE(hard.lamp_appended && !hard.lamps && hard.mic && hard.ptz && !hard.speaker);
    cap.lamp_board = 1;
    EXPECT_EQ(capability_view(cap).lamps, (LampButtons{true, true}));
}

TEST(ConfigItems, ButtonSendsDirectionAndAutoConfigDoesNot) {
    const struct { ConfigInputs in; std::vector<LdrPair> button; } rows[] = {
        {{1, 2, 1, 1, 0}, {{1042, 2}, {1043, 2}, {1046, 1}, {1045, 1}, {1044, 0}}},  // no lamp choice with hard light
        {{0, 0, 0, 0, 1}, {{1042, 1}, {1043, 5}, {1046, 0}, {1045, 0}, {1044, 1}}},
        {{0, 1, 0, 2, 2}, {{1042, 1}, {1043, 6}, {1046, 0}}},                        // mixed check states send nothing
        {{0, 2, 1, 1, 1}, {{1042, 1}, {1043, 4}, {1046, 1}, {1045, 1}, {1044, 1}}},
        {{0, 3, 0, 0, 0}, {{1042, 1}, {1046, 0}, {1045, 0}, {1044, 0}}},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(config_button_pairs(r.in), r.button);
        std::vector<LdrPair> automatic = r.button;
        std::erase_if(automatic, [](const LdrPair& p) { return p.first == 1046; });
        EXPECT_EQ(auto_config_pairs(r.in), automatic);
    }
}

TEST(WatchLoop, FollowsTheFirstRowOnlyWhileExecuting) {
    EXPECT_EQ(watch_decision("", "AA", true), WatchAction::RefreshEmpty);
    EXPECT_EQ(watch_decision("AA", "AA", true), WatchAction::End);
    EXPECT_EQ(watch_decision("BB", "AA", true), WatchAction::Login);
    EXPECT_EQ(watch_decision("BB", "", false), WatchAction::End);  // idle: the first device ends the watch
}

TEST(PtzCommand, ButtonsMapToDirectionsAndZoomCentresOnTheFrame) {
    const std::pair<int, int32_t> presses[] = {{1020, 0}, {1021, 2}, {1022, 1}, {1023, 3}};
    for (const auto& [id, direction] : presses) EXPECT_EQ(ptz_press_direction(id), direction) << id;
    EXPECT_EQ(ptz_press_direction(1024), std::nullopt);
    const ovix_ptz ptz = ptz_record(3);
    const ovix_zoom zoom = zoom_record(1000, 641, 481);
    EXPECT_EQ((std::vector<int32_t>{ptz.action, ptz.direction, ptz.speed, zoom.zoom, zoom.x, zoom.y}),
              (std::vector<int32_t>{1, 3, 0, 1000, 320, 240}));
}

} // namespace
