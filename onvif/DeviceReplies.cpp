#include "onvif/DeviceReplies.h"

#include "onvif/BoundedXml.h"

namespace onvif {

namespace {

std::string element(std::string_view name, std::string_view text) {
    return "<" + std::string(name) + ">" + xml_escape(text) + "</" + std::string(name) + ">";
}

const char* boolean(bool value) { return value ? "true" : "false"; }

std::string address_element(const char* name, const Ipv4Address& address) {
    return "<tt:" + std::string(name) + ">" + element("tt:Address", address.address) +
           element("tt:PrefixLength", std::to_string(address.prefix_length)) + "</tt:" + name + ">";
}

} // namespace

std::string empty_response(std::string_view operation) {
    return "<tds:" + std::string(operation) + "Response/>";
}

std::string device_information_response(const DeviceInformation& info) {
    return "<tds:GetDeviceInformationResponse>" + element("tds:Manufacturer", info.manufacturer) + element("tds:Model", info.model) +
           element("tds:FirmwareVersion", info.firmware_version) + element("tds:SerialNumber", info.serial_number) +
           element("tds:HardwareId", info.hardware_id) + "</tds:GetDeviceInformationResponse>";
}

std::string network_interfaces_response(const std::vector<NetworkInterface>& interfaces) {
    std::string xml = "<tds:GetNetworkInterfacesResponse>";
    for (const NetworkInterface& nic : interfaces) {
        xml += "<tds:NetworkInterfaces token=\"" + xml_escape(nic.token) + "\">" + element("tt:Enabled", boolean(nic.enabled)) +
               "<tt:Info>" + element("tt:Name", nic.name) + element("tt:HwAddress", nic.mac) + "<tt:MTU>1500</tt:MTU></tt:Info>" +
               "<tt:IPv4>" + element("tt:Enabled", boolean(nic.ipv4_enabled)) + "<tt:Config>";
        for (const Ipv4Address& manual : nic.manual) xml += address_element("Manual", manual);
        if (nic.link_local) xml += address_element("LinkLocal", *nic.link_local);
        if (nic.from_dhcp) xml += address_element("FromDHCP", *nic.from_dhcp);
        xml += element("tt:DHCP", boolean(nic.dhcp)) + "</tt:Config></tt:IPv4></tds:NetworkInterfaces>";
    }
    return xml + "</tds:GetNetworkInterfacesResponse>";
}

std::string services_response(const std::vector<Service>& services) {
    std::string xml = "<tds:GetServicesResponse>";
    for (const Service& s : services)
        xml += "<tds:Service>" + element("tds:Namespace", s.ns) + element("tds:XAddr", s.xaddr) + "<tds:Version>" +
               element("tt:Major", std::to_string(s.major)) + element("tt:Minor", std::to_string(s.minor)) + "</tds:Version></tds:Service>";
    return xml + "</tds:GetServicesResponse>";
}

std::string capabilities_response(const Capabilities& caps) {
    std::string xml = "<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Device>" + element("tt:XAddr", caps.device_xaddr) +
                      "<tt:Network><tt:IPFilter>false</tt:IPFilter><tt:ZeroConfiguration>false</tt:ZeroConfiguration>"
                      "<tt:IPVersion6>false</tt:IPVersion6><tt:DynDNS>false</tt:DynDNS></tt:Network>"
                      "<tt:System><tt:DiscoveryResolve>false</tt:DiscoveryResolve><tt:DiscoveryBye>true</tt:DiscoveryBye>"
                      "<tt:RemoteDiscovery>false</tt:RemoteDiscovery><tt:SystemBackup>false</tt:SystemBackup>"
                      "<tt:SystemLogging>false</tt:SystemLogging>" +
                      element("tt:FirmwareUpgrade", boolean(caps.firmware_upgrade)) +
                      "<tt:SupportedVersions><tt:Major>2</tt:Major><tt:Minor>60</tt:Minor></tt:SupportedVersions></tt:System>"
                      "</tt:Device>";
    if (!caps.media_xaddr.empty()) xml += "<tt:Media>" + element("tt:XAddr", caps.media_xaddr) + "</tt:Media>";
    return xml + "</tds:Capabilities></tds:GetCapabilitiesResponse>";
}

std::string service_capabilities_response(const DeviceServiceCapabilities& caps) {
    std::string algorithms;
    for (const std::string& name : caps.hashing_algorithms) algorithms += (algorithms.empty() ? "" : " ") + name;
    return "<tds:GetServiceCapabilitiesResponse><tds:Capabilities>"
           "<tds:Network IPFilter=\"false\" ZeroConfiguration=\"false\" IPVersion6=\"false\" DynDNS=\"false\"/>"
           "<tds:Security UsernameToken=\"" + std::string(boolean(caps.username_token)) + "\" HttpDigest=\"" + boolean(caps.http_digest) +
           "\" MaxUsers=\"" + std::to_string(caps.max_users) + "\"" +
           (algorithms.empty() ? std::string() : " HashingAlgorithms=\"" + xml_escape(algorithms) + "\"") + "/>" +
           "<tds:System DiscoveryResolve=\"" + boolean(caps.discovery_resolve) + "\" DiscoveryBye=\"" + boolean(caps.discovery_bye) +
           "\" RemoteDiscovery=\"" + boolean(caps.remote_discovery) + "\" FirmwareUpgrade=\"" + boolean(caps.http_firmware_upgrade) +
           "\" HttpFirmwareUpgrade=\"" + boolean(caps.http_firmware_upgrade) + "\"/>" +
           "</tds:Capabilities></tds:GetServiceCapabilitiesResponse>";
}

std::string scopes_response(const std::vector<Scope>& scopes) {
    std::string xml = "<tds:GetScopesResponse>";
    for (const Scope& s : scopes)
        xml += "<tds:Scopes>" + element("tt:ScopeDef", s.fixed ? "Fixed" : "Configurable") + element("tt:ScopeItem", s.item) + "</tds:Scopes>";
    return xml + "</tds:GetScopesResponse>";
}

std::string users_response(const std::vector<UserEntry>& users) {
    std::string xml = "<tds:GetUsersResponse>";
    for (const UserEntry& u : users) xml += "<tds:User>" + element("tt:Username", u.name) + element("tt:UserLevel", u.level) + "</tds:User>";
    return xml + "</tds:GetUsersResponse>";
}

std::string duration_text(int seconds) {
    return "PT" + std::to_string(seconds < 0 ? 0 : seconds) + "S";
}

std::string start_firmware_upgrade_response(std::string_view upload_uri, int upload_delay_s, int expected_down_time_s) {
    return "<tds:StartFirmwareUpgradeResponse>" + element("tds:UploadUri", upload_uri) + element("tds:UploadDelay", duration_text(upload_delay_s)) +
           element("tds:ExpectedDownTime", duration_text(expected_down_time_s)) + "</tds:StartFirmwareUpgradeResponse>";
}

std::string upgrade_system_firmware_response(std::string_view message) {
    return "<tds:UpgradeSystemFirmwareResponse>" + element("tds:Message", message) + "</tds:UpgradeSystemFirmwareResponse>";
}

std::string set_network_interfaces_response(bool reboot_needed) {
    return "<tds:SetNetworkInterfacesResponse>" + element("tds:RebootNeeded", boolean(reboot_needed)) + "</tds:SetNetworkInterfacesResponse>";
}

std::string network_default_gateway_response(const std::vector<std::string>& ipv4) {
    std::string xml = "<tds:GetNetworkDefaultGatewayResponse><tds:NetworkGateway>";
    for (const std::string& a : ipv4) xml += element("tt:IPv4Address", a);
    return xml + "</tds:NetworkGateway></tds:GetNetworkDefaultGatewayResponse>";
}

std::string system_reboot_response(std::string_view message) {
    return "<tds:SystemRebootResponse>" + element("tds:Message", message) + "</tds:SystemRebootResponse>";
}

} // namespace onvif
