#include "station/CapabilityView.h"

namespace {

constexpr uint8_t kHardLightBoard = 2;

struct LampRow {
    const char* key;
    LampButtons buttons;
};

constexpr LampRow kLampRows[] = {
    {"IDS_UNSUPPORT_LIGHT", {false, false}},
    {"IDS_SUPPORT_DOUBLE_LIGHT", {true, true}},
    {"IDS_SUPPORT_WHITE_LIGHT", {true, false}},
    {"IDS_SUPPORT_INFRARED_LAMP", {false, true}},
    {"IDS_SUPPORT_PWM_DOUBLE_LIGHT", {true, true}},
    {"IDS_SUPPORT_PWM_WHITE_LIGHT", {true, false}},
    {"IDS_SUPPORT_PWM_INFRARED_LAMP", {false, true}},
};
constexpr int kLampRowCount = static_cast<int>(sizeof kLampRows / sizeof kLampRows[0]);

const LampRow& lamp_row(int8_t lamp_type) {
    return lamp_type >= 0 && lamp_type < kLampRowCount ? kLampRows[lamp_type] : kLampRows[0];
}

} // namespace

LampButtons lamp_buttons(int8_t lamp_type) { return lamp_row(lamp_type).buttons; }

const char* lamp_line_key(int8_t lamp_type) { return lamp_row(lamp_type).key; }

CapabilityView capability_view(const ovix_capability& cap) {
    CapabilityView view{};
    if (cap.lamp_board == kHardLightBoard) {
        view.lamp_key = "IDS_HARD_LIGHT";
        view.lamp_appended = true;
    } else {
        view.lamp_key = lamp_line_key(cap.lamp_type);
        view.lamp_appended = false;
        view.lamps = lamp_buttons(cap.lamp_type);
    }
    view.mic = cap.microphone == 1;
    view.mic_key = view.mic ? "IDS_SUPPORT_MIC" : "IDS_UNSUPPORT_MIC";
    view.speaker = cap.speaker == 1;
    view.speaker_key = view.speaker ? "IDS_SUPPORT_SPEAKER" : "IDS_UNSUPPORT_SPEAKER";
    view.ptz = cap.ptz == 1;
    return view;
}
