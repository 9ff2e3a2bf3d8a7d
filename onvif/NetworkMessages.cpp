#include "onvif/NetworkMessages.h"

#include "onvif/BoundedXml.h"
#include "onvif/Namespaces.h"
#include "onvif/Scopes.h"

#include <arpa/inet.h>

namespace onvif {

namespace {

std::optional<Ipv4Address> read_address(pugi::xml_node node) {
    Ipv4Address out;
    out.address = child_text(node, ns::kSchema, "Address");
    in_addr parsed{};
    long prefix = 0;
    if (inet_pton(AF_INET, out.address.c_str(), &parsed) != 1 ||
        !parse_int(child_text(node, ns::kSchema, "PrefixLength"), 0, 32, prefix))
        return std::nullopt;
    out.prefix_length = static_cast<int>(prefix);
    return out;
}

} // namespace

std::optional<Ipv4Address> NetworkInterface::current_address() const {
    if (dhcp && from_dhcp) return from_dhcp;
    if (!manual.empty()) return manual.front();
    return from_dhcp;
}

Request get_network_interfaces() {
    return {"GetNetworkInterfaces", "<tds:GetNetworkInterfaces/>"};
}

bool read_network_interfaces(pugi::xml_node response, std::vector<NetworkInterface>& out) {
    out.clear();
    for (pugi::xml_node node = child(response, ns::kDevice, "NetworkInterfaces"); node && out.size() < kMaxInterfaces;
         node = next_same(node)) {
        NetworkInterface nic;
        nic.token = attribute(node, "token").value();
        nic.enabled = parse_bool(child_text(node, ns::kSchema, "Enabled"), false);
        const pugi::xml_node info = child(node, ns::kSchema, "Info");
        nic.name = child_text(info, ns::kSchema, "Name");
        nic.mac = normalized_mac(child_text(info, ns::kSchema, "HwAddress"));
        const pugi::xml_node ipv4 = child(node, ns::kSchema, "IPv4");
        nic.ipv4_enabled = parse_bool(child_text(ipv4, ns::kSchema, "Enabled"), false);
        const pugi::xml_node config = child(ipv4, ns::kSchema, "Config");
        nic.dhcp = parse_bool(child_text(config, ns::kSchema, "DHCP"), false);
        for (pugi::xml_node manual = child(config, ns::kSchema, "Manual"); manual && nic.manual.size() < kMaxInterfaces;
             manual = next_same(manual))
            if (auto address = read_address(manual)) nic.manual.push_back(*address);
        if (pugi::xml_node dhcp = child(config, ns::kSchema, "FromDHCP")) nic.from_dhcp = read_address(dhcp);
        if (pugi::xml_node local = child(config, ns::kSchema, "LinkLocal")) nic.link_local = read_address(local);
        out.push_back(std::move(nic));
    }
    return !out.empty();
}

} // namespace onvif
