#pragma once
#include "onvif/WsDiscovery.h"
#include "sim/CameraConfig.h"

#include <string>
#include <vector>

// How a camera shows itself to ONVIF clients, derived from its configuration: one endpoint
// reference for good (a client recognises the camera by it across address changes), scopes
// that carry its MAC, and the device service address at its current address and HTTP port.
inline constexpr const char* kDeviceServicePath = "/onvif/device_service";
inline constexpr const char* kFirmwareUploadPath = "/onvif/firmware/";

// "urn:uuid:" and a time-based UUID whose node is the MAC: the same for the same MAC in
// every run. Empty when the MAC has not 12 hex digits.
std::string endpoint_from_mac(const std::string& mac);

struct OnvifIdentity {
    std::string endpoint;
    std::string name;
    std::string hardware;
    std::vector<std::string> scopes;
};
OnvifIdentity onvif_identity(const CameraConfig& camera);

std::string device_xaddr(const CameraConfig& camera);
// The WS-Discovery endpoint as a probe match, Hello or Bye carries it.
onvif::WsdEndpoint wsd_endpoint(const CameraConfig& camera);
