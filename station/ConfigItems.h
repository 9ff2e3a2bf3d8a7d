#pragma once
#include <cstdint>
#include <utility>
#include <vector>

// The configuration items of the test window as the (code, value) pairs that are written to
// the camera one Network_ClientLDRControl call each.
struct ConfigInputs {
    int light_mode = 0;   // lamp board combo 1119: 0 soft light, 1 hard light
    int lamp = 0;         // lamp combo 1120: 0 white, 1 infrared, 2 double; ignored with hard light
    int direction = 0;    // module direction combo 1121: sent as it is
    int mic = 0;          // check state of 1124: only 0 and 1 are sent
    int speaker = 0;      // check state of 1125: only 0 and 1 are sent
};

using LdrPair = std::pair<int32_t, int32_t>;

// The configuration button's sequence: lamp board (and lamp), direction, microphone, speaker.
// A selection outside the combo's items sends nothing for it.
std::vector<LdrPair> config_button_pairs(const ConfigInputs& inputs);

// The automatic configuration at login: the same without the direction.
std::vector<LdrPair> auto_config_pairs(const ConfigInputs& inputs);
