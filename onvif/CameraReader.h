#pragma once
#include "onvif/HttpTransport.h"
#include "onvif/OnvifCamera.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Logs in to each found camera at its first http XAddr and reads who it is:
// GetDeviceInformation (manufacturer, model, firmware version) and, when its scopes gave no
// MAC, GetNetworkInterfaces. Each camera's reading is set in place.
namespace onvif {

struct CameraLogin {
    bool given = false;  // without a login nothing is asked: each camera says no_credentials
    std::string user;
    std::string password;
};

struct ReaderConfig {
    size_t parallel = 100;  // cameras read at once
    // A transport per camera; the default is libcurl with short timeouts, so that a camera
    // that stays silent holds its worker a few seconds at most.
    std::function<std::unique_ptr<HttpTransport>()> transport;
};

// Returns when every camera has been read, or soon after stopped() (asked from every worker
// at once) turns true: no call starts after it, one under way ends within its transport's
// timeout, and the cameras not begun stay not_tried.
void read_cameras(std::vector<OnvifCamera>& cameras, const CameraLogin& login, const std::function<bool()>& stopped,
                  const ReaderConfig& config = {});

} // namespace onvif
