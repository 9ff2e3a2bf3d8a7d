#pragma once
#include "devsdk/ovix_client.h"

#include <cstdint>
#include <optional>

// What the camera's capability record means for the test window: its result lines and which
// manual test buttons it enables.

// The lamp test buttons: 1011 white light, 1014 infrared lamp.
struct LampButtons {
    bool white = false;
    bool infrared = false;
    bool operator==(const LampButtons&) const = default;
};

// By lamp type 0..6; any other value, negative included, counts as "no lamp".
LampButtons lamp_buttons(int8_t lamp_type);
const char* lamp_line_key(int8_t lamp_type);

struct CapabilityView {
    const char* lamp_key;               // IDS_HARD_LIGHT when the lamp board is the hard-light one
    bool lamp_appended;                 // true for IDS_HARD_LIGHT, which takes its sorted place
    std::optional<LampButtons> lamps;   // nullopt: hard-light board, the buttons keep their state
    const char* mic_key;                // IDS_SUPPORT_MIC / IDS_UNSUPPORT_MIC
    bool mic;                           // button 1013
    const char* speaker_key;            // IDS_SUPPORT_SPEAKER / IDS_UNSUPPORT_SPEAKER
    bool speaker;                       // button 1010
    bool ptz;                           // buttons 1020..1023
};

// A flag counts only when it is exactly 1; a lamp board of 2 hides the lamp type.
CapabilityView capability_view(const ovix_capability& cap);
