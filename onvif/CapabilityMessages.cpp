#include "onvif/CapabilityMessages.h"

#include "onvif/BoundedXml.h"
#include "onvif/Namespaces.h"
#include "onvif/WsDiscovery.h"

#include <algorithm>

namespace onvif {

namespace {

constexpr size_t kMaxServices = 64;

bool flag(pugi::xml_node node, const char* name) {
    return parse_bool(attribute(node, name).value(), false);
}

int version_part(pugi::xml_node version, const char* name) {
    long value = 0;
    return parse_int(child_text(version, ns::kSchema, name), 0, 1000, value) ? static_cast<int>(value) : 0;
}

std::string category_xaddr(pugi::xml_node capabilities, const char* category) {
    return child_text(child(capabilities, ns::kSchema, category), ns::kSchema, "XAddr");
}

} // namespace

Request get_services(bool include_capability) {
    return {"GetServices", std::string("<tds:GetServices><tds:IncludeCapability>") + (include_capability ? "true" : "false") +
                               "</tds:IncludeCapability></tds:GetServices>"};
}

Request get_capabilities() {
    return {"GetCapabilities", "<tds:GetCapabilities><tds:Category>All</tds:Category></tds:GetCapabilities>"};
}

Request get_service_capabilities() {
    return {"GetServiceCapabilities", "<tds:GetServiceCapabilities/>"};
}

bool read_services(pugi::xml_node response, std::vector<Service>& out) {
    out.clear();
    for (pugi::xml_node node = child(response, ns::kDevice, "Service"); node && out.size() < kMaxServices; node = next_same(node)) {
        Service service;
        service.ns = child_text(node, ns::kDevice, "Namespace");
        service.xaddr = child_text(node, ns::kDevice, "XAddr");
        const pugi::xml_node version = child(node, ns::kDevice, "Version");
        service.major = version_part(version, "Major");
        service.minor = version_part(version, "Minor");
        if (!service.ns.empty()) out.push_back(std::move(service));
    }
    return !out.empty();
}

bool read_capabilities(pugi::xml_node response, Capabilities& out) {
    const pugi::xml_node caps = child(response, ns::kDevice, "Capabilities");
    out.device_xaddr = category_xaddr(caps, "Device");
    out.media_xaddr = category_xaddr(caps, "Media");
    out.events_xaddr = category_xaddr(caps, "Events");
    out.imaging_xaddr = category_xaddr(caps, "Imaging");
    out.ptz_xaddr = category_xaddr(caps, "PTZ");
    const pugi::xml_node system = child(child(caps, ns::kSchema, "Device"), ns::kSchema, "System");
    out.firmware_upgrade = parse_bool(child_text(system, ns::kSchema, "FirmwareUpgrade"), false);
    return !out.device_xaddr.empty();
}

bool read_service_capabilities(pugi::xml_node response, DeviceServiceCapabilities& out) {
    const pugi::xml_node caps = child(response, ns::kDevice, "Capabilities");
    const pugi::xml_node system = child(caps, ns::kDevice, "System");
    const pugi::xml_node security = child(caps, ns::kDevice, "Security");
    if (!system && !security) return false;
    out.http_firmware_upgrade = flag(system, "HttpFirmwareUpgrade");
    out.discovery_bye = flag(system, "DiscoveryBye");
    out.discovery_resolve = flag(system, "DiscoveryResolve");
    out.remote_discovery = flag(system, "RemoteDiscovery");
    out.username_token = flag(security, "UsernameToken");
    out.http_digest = flag(security, "HttpDigest");
    // a tt:StringList; some devices put commas between the names
    std::string list = attribute(security, "HashingAlgorithms").value();
    std::replace(list.begin(), list.end(), ',', ' ');
    out.hashing_algorithms = split_list(list, kMaxListItems);
    long users = 0;
    out.max_users = parse_int(attribute(security, "MaxUsers").value(), 0, 1000000, users) ? static_cast<int>(users) : 0;
    return true;
}

} // namespace onvif
