#include "station/StationSdk.h"

namespace {

class OvixStationSdk final : public StationSdk {
public:
    int32_t login(int32_t& handle, const std::string& ip, int32_t port, const std::string& user,
                  const std::string& password) override {
        return Network_ClientLogin(&handle, ip.c_str(), port, user.c_str(), password.c_str());
    }
    int32_t logout(int32_t handle) override { return Network_ClientLogout(handle); }
    int32_t get_device_config(int32_t handle, int32_t command, void* buffer, int32_t length) override {
        return Network_ClientGetDeviceConfig(handle, command, 0, buffer, length);
    }
    int32_t get_capability(int32_t handle, ovix_capability& out) override {
        return Network_ClientGetCameraAdvanceConfig(handle, 0, &out, static_cast<int32_t>(sizeof out));
    }
    int32_t start_live(int32_t& live, int32_t handle, const ovix_live_preview& preview) override {
        return Network_ClientStartLive(&live, handle, &preview, 0, 0);
    }
    int32_t stop_live(int32_t live) override { return Network_ClientStopLive(live); }
    int32_t live_control(int32_t live, int32_t command, void* argument) override {
        return Network_ClientLiveControl(live, command, argument);
    }
    int32_t device_control(int32_t handle, int32_t command, int32_t channel, int32_t value1,
                           int32_t value2) override {
        return Network_ClientDeviceControl(handle, command, channel, value1, value2);
    }
    int32_t ldr_control(int32_t handle, int32_t code, int32_t value) override {
        return Network_ClientLDRControl(handle, code, value);
    }
    int32_t ircut_control(int32_t handle, int32_t open) override { return Network_ClientIrcutControl(handle, open); }
    int32_t ptz_control(int32_t handle, int32_t channel, const ovix_ptz& command) override {
        return Network_ClientPTZControl(handle, channel, &command);
    }
    int32_t play_voice_test(int32_t handle, int32_t value) override {
        return Network_ClientPlayVoiceData_test(handle, value);
    }
    int32_t set_event_callback(int32_t handle, ovix_event_callback callback, void* context) override {
        return Network_ClientSetEventCB(handle, callback, context);
    }
};

} // namespace

StationSdk& ovix_station_sdk() {
    static OvixStationSdk sdk;
    return sdk;
}
