#pragma once
#include "onvif/DeviceMessages.h"

#include <string>
#include <vector>

// What a camera offers: its services (GetServices), the older capability list
// (GetCapabilities) and the device service's own capabilities (GetServiceCapabilities).
namespace onvif {

struct Service {
    std::string ns;      // the service's namespace, e.g. the device service's WSDL namespace
    std::string xaddr;
    int major = 0;
    int minor = 0;
    bool operator==(const Service&) const = default;
};

// Service addresses by category from GetCapabilities; empty where the device has none.
struct Capabilities {
    std::string device_xaddr;
    std::string media_xaddr;
    std::string events_xaddr;
    std::string imaging_xaddr;
    std::string ptz_xaddr;
    bool firmware_upgrade = false;  // Device.System.FirmwareUpgrade
    bool operator==(const Capabilities&) const = default;
};

struct DeviceServiceCapabilities {
    bool http_firmware_upgrade = false;  // StartFirmwareUpgrade with an HTTP upload
    bool discovery_bye = false;
    bool discovery_resolve = false;
    bool remote_discovery = false;
    bool username_token = false;
    bool http_digest = false;
    std::vector<std::string> hashing_algorithms;  // for HTTP Digest; empty means MD5 only
    int max_users = 0;
    bool operator==(const DeviceServiceCapabilities&) const = default;
};

Request get_services(bool include_capability);
Request get_capabilities();
Request get_service_capabilities();

bool read_services(pugi::xml_node response, std::vector<Service>& out);
bool read_capabilities(pugi::xml_node response, Capabilities& out);
bool read_service_capabilities(pugi::xml_node response, DeviceServiceCapabilities& out);

} // namespace onvif
