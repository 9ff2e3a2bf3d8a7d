#pragma once
#include "devsdk/protocol/Messages.h"
#include "sim/SimCamera.h"

#include <cstddef>
#include <cstdint>

// What a camera does with the requests of a logged-in client: configuration records and
// controls. Each returns the answer; recording the request as a whole is the session's job,
// the details (records, clock writes, logo chunks) are recorded here.

// The service that runs the cameras, for what outlasts a request or spans the fleet:
// restarts, and the fleet's count of logins.
class DeviceHost {
public:
    // The camera goes down after `delay_ms` system ms (time to answer and finish what it was
    // saying), stays silent for its reboot time, and starts again.
    virtual void restart_later(size_t camera_index, int64_t delay_ms) = 0;
    // A client has proved who it is: true when the fleet has room for one more login, which
    // then counts until leave_login.
    virtual bool enter_login() = 0;
    virtual void leave_login() = 0;

protected:
    ~DeviceHost() = default;
};

struct DeviceContext {
    SimCamera& camera;
    DeviceHost& host;
    size_t index;
};

// A camera answers a request that restarts it first, then goes down this much later.
constexpr int64_t kRestartDelayMs = 1000;

ovix::Answer get_config(DeviceContext& device, const ovix::ConfigGet& request);
ovix::Answer set_config(DeviceContext& device, const ovix::ConfigSet& request);
ovix::Answer device_control(DeviceContext& device, const ovix::DeviceControl& request);
ovix::Answer ldr_control(DeviceContext& device, const ovix::CodeValue& request);
ovix::Answer ircut_control(DeviceContext& device, int32_t value);
ovix::Answer ptz_control(DeviceContext& device, const ovix::PtzRequest& request);
ovix::Answer play_voice(DeviceContext& device, int32_t value);
ovix::Answer get_capability(DeviceContext& device, int32_t channel);

// The camera's clock now: its local time in ms since 1970 (set by clock writes).
int64_t device_time_ms(const DeviceState& state);

// The cloud UID that a shell command writes ("echo UID >/config/tuya.cfg"), or empty.
std::string cloud_uid_of_command(const std::string& command);
