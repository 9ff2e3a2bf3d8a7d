#pragma once
#include "onvif/NetworkMessages.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Requests that change a camera's IPv4 settings (SetNetworkInterfaces, SetNetworkDefaultGateway)
// and the readers of their answers and of GetNetworkDefaultGateway.
namespace onvif {

struct InterfaceSetting {
    std::string token;                   // the interface's token from GetNetworkInterfaces
    bool ipv4_enabled = true;
    bool dhcp = false;
    std::optional<Ipv4Address> manual;   // the fixed address; sent with DHCP on too, for when it is turned off
};
// Dotted quad, the only address form the requests carry.
bool is_ipv4_address(std::string_view text);

Request set_network_interfaces(const InterfaceSetting& setting);
// RebootNeeded: the camera applies the change only after a reboot. A camera that leaves it
// out is taken to need one, since a reboot applies the change either way.
bool read_set_network_interfaces(pugi::xml_node response, bool& reboot_needed);

Request get_network_default_gateway();
// The IPv4 gateways (at most kMaxInterfaces); false without a NetworkGateway element.
bool read_network_default_gateway(pugi::xml_node response, std::vector<std::string>& ipv4);
// Replaces the IPv4 gateway; an empty text clears it.
Request set_network_default_gateway(const std::string& ipv4);

} // namespace onvif
