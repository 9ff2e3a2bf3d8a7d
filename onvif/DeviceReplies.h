#pragma once
#include "onvif/CapabilityMessages.h"
#include "onvif/DeviceMessages.h"
#include "onvif/NetworkMessages.h"

#include <string>
#include <string_view>
#include <vector>

// A device's response elements for the device service calls, as the simulator answers them.
// Each is the body's first element ("tds:<operation>Response"), for build_response; prefixes
// tds and tt as the envelope declares them. Texts are escaped here.
namespace onvif {

std::string empty_response(std::string_view operation);
std::string device_information_response(const DeviceInformation& info);
std::string network_interfaces_response(const std::vector<NetworkInterface>& interfaces);
std::string services_response(const std::vector<Service>& services);
std::string capabilities_response(const Capabilities& caps);
std::string service_capabilities_response(const DeviceServiceCapabilities& caps);
std::string scopes_response(const std::vector<Scope>& scopes);

struct UserEntry {
    std::string name;
    std::string level;  // "Administrator", "Operator", "User"
};
std::string users_response(const std::vector<UserEntry>& users);

// Durations as whole seconds ("PT30S").
std::string start_firmware_upgrade_response(std::string_view upload_uri, int upload_delay_s, int expected_down_time_s);
std::string upgrade_system_firmware_response(std::string_view message);
std::string set_network_interfaces_response(bool reboot_needed);
std::string network_default_gateway_response(const std::vector<std::string>& ipv4);
std::string system_reboot_response(std::string_view message);

// xs:duration of whole seconds, "PT90S".
std::string duration_text(int seconds);

} // namespace onvif
