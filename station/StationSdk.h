#pragma once
#include "devsdk/ovix_client.h"

#include <cstdint>
#include <string>

// The one seam through which the test station calls the device SDK, so that tests can stand
// in for the camera and record the calls. Names and results follow Network_Client*; the
// channel of the configuration calls is always 0 and is not passed.
class StationSdk {
public:
    virtual ~StationSdk() = default;
    virtual int32_t login(int32_t& handle, const std::string& ip, int32_t port, const std::string& user,
                          const std::string& password) = 0;
    virtual int32_t logout(int32_t handle) = 0;
    virtual int32_t get_device_config(int32_t handle, int32_t command, void* buffer, int32_t length) = 0;
    virtual int32_t get_capability(int32_t handle, ovix_capability& out) = 0;
    virtual int32_t start_live(int32_t& live, int32_t handle, const ovix_live_preview& preview) = 0;
    virtual int32_t stop_live(int32_t live) = 0;
    virtual int32_t live_control(int32_t live, int32_t command, void* argument) = 0;
    virtual int32_t device_control(int32_t handle, int32_t command, int32_t channel, int32_t value1,
                                   int32_t value2) = 0;
    virtual int32_t ldr_control(int32_t handle, int32_t code, int32_t value) = 0;
    virtual int32_t ircut_control(int32_t handle, int32_t open) = 0;
    virtual int32_t ptz_control(int32_t handle, int32_t channel, const ovix_ptz& command) = 0;
    virtual int32_t play_voice_test(int32_t handle, int32_t value) = 0;
    // The login's event callback (Network_ClientSetEventCB): how the station hears that the
    // camera dropped the login.
    virtual int32_t set_event_callback(int32_t handle, ovix_event_callback callback, void* context) = 0;
};

// The real one, forwarding to the SDK library. The window initialises the library itself.
StationSdk& ovix_station_sdk();
