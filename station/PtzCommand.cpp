#include "station/PtzCommand.h"

std::optional<int32_t> ptz_press_direction(int control_id) {
    switch (control_id) {
    case 1020: return OVIX_PTZ_UP;
    case 1021: return OVIX_PTZ_LEFT;
    case 1022: return OVIX_PTZ_DOWN;
    case 1023: return OVIX_PTZ_RIGHT;
    default: return std::nullopt;
    }
}

ovix_ptz ptz_record(int32_t direction) { return ovix_ptz{OVIX_PTZ_MOVE, direction, 0}; }

ovix_zoom zoom_record(int32_t zoom, int frame_width, int frame_height) {
    return ovix_zoom{zoom, frame_width / 2, frame_height / 2};
}
