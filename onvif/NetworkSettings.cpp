#include "onvif/NetworkSettings.h"

#include "onvif/BoundedXml.h"
#include "onvif/Namespaces.h"

#include <arpa/inet.h>

namespace onvif {

bool is_ipv4_address(std::string_view text) {
    in_addr parsed{};
    return text.size() < 16 && inet_pton(AF_INET, std::string(text).c_str(), &parsed) == 1;
}

Request set_network_interfaces(const InterfaceSetting& setting) {
    // Only IPv4 is sent: what a request leaves out, the camera keeps.
    std::string body = "<tds:SetNetworkInterfaces><tds:InterfaceToken>" + xml_escape(setting.token) +
                       "</tds:InterfaceToken><tds:NetworkInterface><tt:IPv4><tt:Enabled>" +
                       (setting.ipv4_enabled ? "true" : "false") + "</tt:Enabled>";
    if (setting.manual)
        body += "<tt:Manual><tt:Address>" + xml_escape(setting.manual->address) + "</tt:Address><tt:PrefixLength>" +
                std::to_string(setting.manual->prefix_length) + "</tt:PrefixLength></tt:Manual>";
    body += std::string("<tt:DHCP>") + (setting.dhcp ? "true" : "false") + "</tt:DHCP></tt:IPv4></tds:NetworkInterface>";
    return {"SetNetworkInterfaces", body + "</tds:SetNetworkInterfaces>"};
}

bool read_set_network_interfaces(pugi::xml_node response, bool& reboot_needed) {
    reboot_needed = parse_bool(child_text(response, ns::kDevice, "RebootNeeded"), true);
    return true;
}

Request get_network_default_gateway() {
    return {"GetNetworkDefaultGateway", "<tds:GetNetworkDefaultGateway/>"};
}

bool read_network_default_gateway(pugi::xml_node response, std::vector<std::string>& ipv4) {
    ipv4.clear();
    const pugi::xml_node gateway = child(response, ns::kDevice, "NetworkGateway");
    for (pugi::xml_node a = child(gateway, ns::kSchema, "IPv4Address"); a && ipv4.size() < kMaxInterfaces; a = next_same(a))
        if (is_ipv4_address(text_of(a))) ipv4.push_back(text_of(a));
    return static_cast<bool>(gateway);
}

Request set_network_default_gateway(const std::string& ipv4) {
    const std::string address = ipv4.empty() ? std::string() : "<tds:IPv4Address>" + xml_escape(ipv4) + "</tds:IPv4Address>";
    return {"SetNetworkDefaultGateway", "<tds:SetNetworkDefaultGateway>" + address + "</tds:SetNetworkDefaultGateway>"};
}

} // namespace onvif
