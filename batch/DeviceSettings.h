#pragma once
#include "batch/JobSteps.h"
#include "batch/StepInputs.h"

#include <cstdint>
#include <optional>
#include <string>

// The device settings a job applies, each field only when set; values as the device takes
// them (time zone in seconds east of UTC, video standard 1 NTSC / 2 PAL / 5 family 1, the
// automatic Wi-Fi channel as 0).
struct DeviceSettings {
    std::optional<int32_t> video_standard, time_zone, time_format, dhcp_enable, language;
    std::optional<std::string> password;
    std::optional<int32_t> wifi_ch_max, wifi_ch_default;
    bool requested = false;  // a field the job asked for is set: the record goes out
};

// Sets the fields the steps ask for from the inputs (read now). Fields only ever get set,
// never cleared, so filling again on a later pass keeps what an earlier one set.
void fill_settings(DeviceSettings& settings, const JobSteps& steps, const StepInputs& inputs, bool is_type1);
