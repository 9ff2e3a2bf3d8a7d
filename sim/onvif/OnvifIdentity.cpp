#include "sim/onvif/OnvifIdentity.h"

#include "onvif/Scopes.h"

#include <cctype>

namespace {

std::string mac_digits(const std::string& mac) {
    std::string digits;
    for (char c : mac)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return digits;
}

} // namespace

std::string endpoint_from_mac(const std::string& mac) {
    const std::string digits = mac_digits(mac);
    if (digits.size() != 12) return {};
    // Version 1 layout with the MAC as its node, as cameras derive theirs; the time fields
    // are fixed so the text never changes.
    return "urn:uuid:4c756d6f-7261-1000-8000-" + digits;
}

OnvifIdentity onvif_identity(const CameraConfig& camera) {
    const OnvifSide& side = camera.device.onvif;
    OnvifIdentity id;
    id.endpoint = side.endpoint.empty() ? endpoint_from_mac(camera.mac_address) : side.endpoint;
    if (id.endpoint.empty()) id.endpoint = "urn:uuid:4c756d6f-7261-1000-8000-000000000000";
    std::string digits = mac_digits(camera.mac_address);
    for (char& c : digits) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    id.name = side.name.empty() ? side.manufacturer + " " + side.model + " " + digits.substr(digits.size() > 6 ? digits.size() - 6 : 0)
                                : side.name;
    id.hardware = side.hardware.empty() ? side.model : side.hardware;
    id.scopes = {"onvif://www.onvif.org/type/video_encoder", "onvif://www.onvif.org/Profile/Streaming",
                 onvif::onvif_scope("name", id.name), onvif::onvif_scope("hardware", id.hardware),
                 onvif::onvif_scope("location", side.location), onvif::onvif_scope("MAC", camera.mac_address)};
    return id;
}

std::string device_xaddr(const CameraConfig& camera) {
    std::string xaddr = "http://" + camera.ip_address;
    if (camera.http_port != 80) xaddr += ":" + std::to_string(camera.http_port);
    return xaddr + kDeviceServicePath;
}

onvif::WsdEndpoint wsd_endpoint(const CameraConfig& camera) {
    const OnvifIdentity id = onvif_identity(camera);
    onvif::WsdEndpoint endpoint;
    endpoint.address = id.endpoint;
    endpoint.types = onvif::onvif_device_types();
    endpoint.scopes = id.scopes;
    endpoint.xaddrs = {device_xaddr(camera)};
    endpoint.metadata_version = 1;
    return endpoint;
}
