#include "station/ConfigItems.h"

#include "devsdk/ovix_client.h"

namespace {

constexpr int32_t kSoftLightBoard = 1;
constexpr int32_t kHardLightBoard = 2;
constexpr int32_t kHardLightLamp = 2;
// Lamp values by the lamp combo's selection: white, infrared, double.
constexpr int32_t kSoftLamps[] = {5, 6, 4};

std::vector<LdrPair> pairs(const ConfigInputs& in, bool with_direction) {
    std::vector<LdrPair> out;
    if (in.light_mode == 1) {
        out.emplace_back(OVIX_LDR_LAMP_BOARD, kHardLightBoard);
        out.emplace_back(OVIX_LDR_LAMP, kHardLightLamp);
    } else if (in.light_mode == 0) {
        out.emplace_back(OVIX_LDR_LAMP_BOARD, kSoftLightBoard);
        if (in.lamp >= 0 && in.lamp < 3) out.emplace_back(OVIX_LDR_LAMP, kSoftLamps[in.lamp]);
    }
    if (with_direction) out.emplace_back(OVIX_LDR_DIRECTION, in.direction);
    if (in.mic == 0 || in.mic == 1) out.emplace_back(OVIX_LDR_MICROPHONE, in.mic);
    if (in.speaker == 0 || in.speaker == 1) out.emplace_back(OVIX_LDR_SPEAKER, in.speaker);
    return out;
}

} // namespace

std::vector<LdrPair> config_button_pairs(const ConfigInputs& inputs) { return pairs(inputs, true); }

std::vector<LdrPair> auto_config_pairs(const ConfigInputs& inputs) { return pairs(inputs, false); }
