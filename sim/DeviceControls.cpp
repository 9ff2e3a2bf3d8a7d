// Device controls, lamps, IR-cut, pan/tilt, the speaker and the capability record.
#include "devsdk/ovix_client.h"
#include "sim/DeviceCommands.h"

#include <cstring>

using ovix::Answer;

namespace {

Answer result(int32_t code) {
    return Answer{code, {}};
}

bool is_bit(int32_t value) {
    return value == 0 || value == 1;
}

} // namespace

Answer device_control(DeviceContext& device, const ovix::DeviceControl& request) {
    int32_t code = OVIX_OK;
    bool restart = false;
    device.camera.update([&](CameraView& view) {
        push_recent(view.record.controls, DeviceRecord::Control{request.command, request.channel, request.value1, request.value2});
        if (request.channel != 0) {
            code = OVIX_ERR_BAD_REQUEST;
            return;
        }
        switch (request.command) {
        case OVIX_CTRL_FACTORY_RESET:
            // Answered first; the defaults come back with the next start.
            ++view.record.factory_resets;
            view.state.restore_at_boot = true;
            restart = true;
            break;
        case OVIX_CTRL_PASSWORD_RESET: {
            ++view.record.password_resets;
            auto& users = view.current.device.users;
            const auto& factory_users = view.factory.device.users;
            if (!users.empty()) users.front().password = factory_users.empty() ? std::string() : factory_users.front().password;
            break;
        }
        case OVIX_CTRL_LAMP:
            if (!is_bit(request.value1) || !is_bit(request.value2)) {
                code = OVIX_ERR_BAD_REQUEST;
                break;
            }
            (request.value2 == 1 ? view.state.white_lamp : view.state.infrared_lamp) = request.value1 == 1;
            break;
        default: code = OVIX_ERR_UNSUPPORTED;
        }
    });
    if (restart) device.host.restart_later(device.index, kRestartDelayMs);
    return result(code);
}

Answer ldr_control(DeviceContext& device, const ovix::CodeValue& request) {
    int32_t code = OVIX_OK;
    device.camera.update([&](CameraView& view) {
        push_recent(view.record.ldr, DeviceRecord::CodeValue{request.code, request.value});
        const int32_t v = request.value;
        bool valid;
        switch (request.code) {
        case OVIX_LDR_LAMP_BOARD: valid = v == 1 || v == 2; break;
        case OVIX_LDR_LAMP: valid = v == 2 || v == 4 || v == 5 || v == 6; break;
        case OVIX_LDR_SPEAKER:
        case OVIX_LDR_MICROPHONE:
        case OVIX_LDR_DIRECTION: valid = is_bit(v); break;
        default:
            code = OVIX_ERR_UNSUPPORTED;
            return;
        }
        if (!valid) {
            code = OVIX_ERR_BAD_REQUEST;
            return;
        }
        view.state.ldr[request.code] = v;
    });
    return result(code);
}

Answer ircut_control(DeviceContext& device, int32_t value) {
    int32_t code = OVIX_OK;
    device.camera.update([&](CameraView& view) {
        push_recent(view.record.ircut, value);
        if (!view.current.device.capability.ircut) code = OVIX_ERR_UNSUPPORTED;
        else if (!is_bit(value)) code = OVIX_ERR_BAD_REQUEST;
        else view.state.ircut = value;
    });
    return result(code);
}

Answer ptz_control(DeviceContext& device, const ovix::PtzRequest& request) {
    int32_t code = OVIX_OK;
    device.camera.update([&](CameraView& view) {
        push_recent(view.record.ptz, DeviceRecord::Ptz{request.channel, request.action, request.direction, request.speed});
        const int32_t d = request.direction;
        const bool direction_known = (d >= OVIX_PTZ_UP && d <= OVIX_PTZ_RIGHT) || d == OVIX_PTZ_STOP;
        if (!view.current.device.capability.ptz) code = OVIX_ERR_UNSUPPORTED;
        else if (request.channel != 0 || request.action != OVIX_PTZ_MOVE || !direction_known || request.speed < 0)
            code = OVIX_ERR_BAD_REQUEST;
    });
    return result(code);
}

Answer play_voice(DeviceContext& device, int32_t value) {
    int32_t code = OVIX_OK;
    device.camera.update([&](CameraView& view) {
        push_recent(view.record.voice, value);
        if (!view.current.device.capability.speaker) code = OVIX_ERR_UNSUPPORTED;
    });
    return result(code);
}

Answer get_capability(DeviceContext& device, int32_t channel) {
    if (channel != 0) return result(OVIX_ERR_BAD_REQUEST);
    const CameraCapability c = device.camera.current().device.capability;
    ovix_capability record{};
    record.channels = 1;
    record.microphone = c.microphone;
    record.speaker = c.speaker;
    record.ircut = c.ircut;
    record.tf_slot = c.tf_slot;
    record.ptz = c.ptz;
    record.lamp_type = c.lamp_type;
    record.digital_zoom = c.digital_zoom;
    record.lamp_board = c.lamp_board;
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return Answer{OVIX_OK, ovix::Bytes(p, p + sizeof record)};
}
