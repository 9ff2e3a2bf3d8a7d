#pragma once
#include "sim/SimCamera.h"

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// What the ONVIF device calls need from the service that runs them: the camera's reboot
// (the same reboot the device SDK side does), an upload address for a firmware image, and
// a network change kept for the next start.
class OnvifHost {
public:
    virtual void reboot(size_t camera_index, int64_t delay_ms) = 0;
    // A fresh upload path under kFirmwareUploadPath, good until the camera restarts or
    // another is asked for.
    virtual std::string new_upload_path(size_t camera_index) = 0;
    virtual void change_at_next_start(size_t camera_index, const NetworkChange& change) = 0;

protected:
    ~OnvifHost() = default;
};

// One call's answer: an HTTP status and a whole SOAP envelope, what the camera's record
// keeps of it, and what the camera does once the answer is out (move to a new address).
struct OnvifAnswer {
    int status = 200;
    std::string envelope;
    std::string detail;
    std::function<void()> after;
};

struct OnvifCallContext {
    SimCamera& camera;
    size_t index;
    OnvifHost& host;
};

// The device service's calls; operation is the body's first element, already known to be
// in the device service's namespace. Unknown calls answer ter:ActionNotSupported.
OnvifAnswer run_device_call(OnvifCallContext& call, pugi::xml_node operation);

// The operations answered without a login: a client reads the clock before it can sign.
bool needs_no_login(std::string_view operation);

// The camera's UTC clock in Unix ms: its local clock less its time zone.
int64_t camera_utc_ms(const CameraConfig& current, const DeviceState& state);

OnvifAnswer soap_fault_answer(int status, std::string_view code, std::string_view subcode, std::string_view reason);
