#pragma once
#include "devsdk/ovix_client.h"

#include <cstdint>
#include <optional>

// The pan/tilt buttons and the digital zoom of the test window as SDK records.

// Direction for a pressed PTZ button (1020 up, 1021 left, 1022 down, 1023 right); nullopt for
// any other id. A release always sends OVIX_PTZ_STOP.
std::optional<int32_t> ptz_press_direction(int control_id);

// Move with the direction at the device's own speed.
ovix_ptz ptz_record(int32_t direction);

// The centre is the middle of the video frame (integer halves of its client size).
ovix_zoom zoom_record(int32_t zoom, int frame_width, int frame_height);
