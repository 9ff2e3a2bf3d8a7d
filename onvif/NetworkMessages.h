#pragma once
#include "onvif/DeviceMessages.h"

#include <optional>
#include <string>
#include <vector>

// GetNetworkInterfaces: the camera's interfaces with their MAC and IPv4 configuration.
namespace onvif {

// At most this many interfaces and addresses per interface are kept.
constexpr size_t kMaxInterfaces = 16;

struct Ipv4Address {
    std::string address;  // dotted quad as the device wrote it
    int prefix_length = 0;
    bool operator==(const Ipv4Address&) const = default;
};

struct NetworkInterface {
    std::string token;
    std::string name;
    std::string mac;           // normalized "00:1A:2B:3C:4D:5E", empty when unreadable
    bool enabled = false;
    bool ipv4_enabled = false;
    bool dhcp = false;
    std::vector<Ipv4Address> manual;
    std::optional<Ipv4Address> from_dhcp;
    std::optional<Ipv4Address> link_local;

    // The address the interface answers on: the DHCP one under DHCP, else the first manual.
    std::optional<Ipv4Address> current_address() const;
    bool operator==(const NetworkInterface&) const = default;
};

Request get_network_interfaces();
bool read_network_interfaces(pugi::xml_node response, std::vector<NetworkInterface>& out);

} // namespace onvif
