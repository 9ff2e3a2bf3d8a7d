// The device service's calls on a simulated camera: what each reads of the camera's one
// state, and what each changes.
#include "onvif/BoundedXml.h"
#include "onvif/DeviceReplies.h"
#include "onvif/Namespaces.h"
#include "onvif/Soap.h"
#include "onvif/TimeZone.h"
#include "onvif/UsernameToken.h"
#include "sim/DeviceCommands.h"
#include "sim/Ipv4.h"
#include "sim/onvif/MediaCalls.h"
#include "sim/onvif/OnvifCall.h"
#include "sim/onvif/OnvifIdentity.h"

#include <bit>
#include <cctype>
#include <chrono>
#include <cstdlib>

using namespace onvif;

namespace {

OnvifAnswer ok(std::string body, std::string detail = {}) {
    return OnvifAnswer{200, build_response(body), std::move(detail), {}};
}

OnvifAnswer bad_argument(std::string_view reason) {
    return soap_fault_answer(400, "Sender", "InvalidArgVal", reason);
}

int prefix_of(const std::string& mask) {
    return std::popcount(parse_ipv4(mask).value_or(0));
}

std::string mask_of(long prefix) {
    return format_ipv4(prefix == 0 ? 0u : ~uint32_t{0} << (32 - prefix));
}

int64_t host_utc_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

OnvifAnswer device_information(OnvifCallContext& call) {
    const CameraConfig current = call.camera.current();
    const OnvifIdentity id = onvif_identity(current);
    const DeviceInformation info{current.device.onvif.manufacturer, current.device.onvif.model, current.software_ver,
                                 effective_device(current).serial, id.hardware};
    return ok(device_information_response(info));
}

OnvifAnswer network_interfaces(OnvifCallContext& call) {
    const CameraConfig current = call.camera.current();
    NetworkInterface nic;
    nic.token = nic.name = "eth0";
    nic.mac = current.mac_address;
    nic.enabled = nic.ipv4_enabled = true;
    nic.dhcp = current.device.settings.dhcp;
    const Ipv4Address address{current.ip_address, prefix_of(current.subnet_mask)};
    if (nic.dhcp) nic.from_dhcp = address;
    else nic.manual.push_back(address);
    return ok(network_interfaces_response({nic}));
}

OnvifAnswer services(OnvifCallContext& call) {
    // DeviceIO names no calls of its own here; a client that looks for it by name (npm onvif
    // sends SystemReboot to DeviceIO's address) finds the device service's.
    const std::string xaddr = device_xaddr(call.camera.current());
    return ok(services_response({Service{ns::kDevice, xaddr, 2, 60}, Service{kMediaNamespace, xaddr, 2, 60},
                                 Service{"http://www.onvif.org/ver10/deviceIO/wsdl", xaddr, 2, 60}}));
}

OnvifAnswer capabilities(OnvifCallContext& call) {
    Capabilities caps;
    caps.device_xaddr = caps.media_xaddr = device_xaddr(call.camera.current());
    caps.firmware_upgrade = true;
    return ok(capabilities_response(caps));
}

// "ipc-" and the MAC's hex digits: a host name is a token, without the name scope's spaces.
OnvifAnswer hostname(OnvifCallContext& call) {
    std::string name = "ipc-";
    for (char c : call.camera.current().mac_address)
        if (std::isxdigit(static_cast<unsigned char>(c))) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ok("<tds:GetHostnameResponse><tds:HostnameInformation><tt:FromDHCP>false</tt:FromDHCP><tt:Name>" + name +
              "</tt:Name></tds:HostnameInformation></tds:GetHostnameResponse>");
}

OnvifAnswer service_capabilities(OnvifCallContext& call) {
    const OnvifSide side = call.camera.current().device.onvif;
    DeviceServiceCapabilities caps;
    caps.http_firmware_upgrade = side.http_upload;
    caps.discovery_bye = true;
    caps.username_token = side.auth != OnvifAuth::Digest;
    caps.http_digest = side.auth != OnvifAuth::Token;
    if (caps.http_digest && side.digest_md5) caps.hashing_algorithms.push_back("MD5");
    if (caps.http_digest && side.digest_sha256) caps.hashing_algorithms.push_back("SHA-256");
    caps.max_users = 10;
    return ok(service_capabilities_response(caps));
}

OnvifAnswer scopes(OnvifCallContext& call) {
    std::vector<Scope> list;
    for (const std::string& item : onvif_identity(call.camera.current()).scopes)
        list.push_back(Scope{item.find("/name/") == std::string::npos && item.find("/location/") == std::string::npos, item});
    return ok(scopes_response(list));
}

OnvifAnswer system_date_and_time(OnvifCallContext& call) {
    SystemDateAndTime clock;
    int32_t east = 0;
    call.camera.update([&](CameraView& view) {
        clock.utc_seconds = camera_utc_ms(view.current, view.state) / 1000;
        east = view.current.device.settings.time_zone;
    });
    clock.time_zone = posix_tz(east);
    return ok(system_date_and_time_response(clock));
}

OnvifAnswer set_system_date_and_time(OnvifCallContext& call, pugi::xml_node op) {
    const std::string type = child_text(op, ns::kDevice, "DateTimeType");
    if (type != "Manual" && type != "NTP") return bad_argument("DateTimeType is Manual or NTP");
    const std::string tz = child_text(child(op, ns::kDevice, "TimeZone"), ns::kSchema, "TZ");
    int32_t east = 0;
    const bool has_tz = !tz.empty();
    if (has_tz && !tz_seconds_east(tz, east)) return soap_fault_answer(400, "Sender", "InvalidTimeZone", "unreadable TZ");
    std::string detail = type;
    int64_t utc_s = 0;
    const pugi::xml_node utc = child(op, ns::kDevice, "UTCDateTime");
    if (type == "Manual") {
        const pugi::xml_node date = child(utc, ns::kSchema, "Date");
        const pugi::xml_node time = child(utc, ns::kSchema, "Time");
        long y, mo, d, h, mi, s;
        if (!parse_int(child_text(date, ns::kSchema, "Year"), 1970, 2099, y) || !parse_int(child_text(date, ns::kSchema, "Month"), 1, 12, mo) ||
            !parse_int(child_text(date, ns::kSchema, "Day"), 1, 31, d) || !parse_int(child_text(time, ns::kSchema, "Hour"), 0, 23, h) ||
            !parse_int(child_text(time, ns::kSchema, "Minute"), 0, 59, mi) || !parse_int(child_text(time, ns::kSchema, "Second"), 0, 59, s))
            return soap_fault_answer(400, "Sender", "InvalidDateTime", "UTCDateTime missing or out of range");
        utc_s = days_from_civil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 + mi * 60 + s;
        detail += " " + utc_text(utc_s);
    }
    if (has_tz) detail += " TZ " + tz;
    call.camera.update([&](CameraView& view) {
        if (has_tz) view.current.device.settings.time_zone = east;
        if (type == "Manual") view.state.clock_offset_ms = (utc_s + view.current.device.settings.time_zone) * 1000 - host_utc_ms();
    });
    return ok(empty_response("SetSystemDateAndTime"), detail);
}

// A message's own parts belong to the device service's namespace; libonvif (onvif-util)
// writes them in the schema's, and cameras take that, so the simulated one does too.
pugi::xml_node message_part(pugi::xml_node op, std::string_view local) {
    const pugi::xml_node part = child(op, ns::kDevice, local);
    return part ? part : child(op, ns::kSchema, local);
}

OnvifAnswer set_network_interfaces(OnvifCallContext& call, pugi::xml_node op) {
    if (std::string_view(message_part(op, "InterfaceToken").text().get()) != "eth0")
        return soap_fault_answer(400, "Sender", "InvalidNetworkInterface", "no such interface");
    const pugi::xml_node ipv4 = child(message_part(op, "NetworkInterface"), ns::kSchema, "IPv4");
    if (!ipv4) return bad_argument("no IPv4 settings");
    const pugi::xml_node manual = child(ipv4, ns::kSchema, "Manual");
    const bool has_dhcp = static_cast<bool>(child(ipv4, ns::kSchema, "DHCP"));
    const bool dhcp = parse_bool(child_text(ipv4, ns::kSchema, "DHCP"), false);
    NetworkChange change;
    std::string detail;
    if (manual) {
        long prefix = 0;
        change.ip_address = child_text(manual, ns::kSchema, "Address");
        if (!parse_ipv4(change.ip_address) || !parse_int(child_text(manual, ns::kSchema, "PrefixLength"), 1, 32, prefix))
            return soap_fault_answer(400, "Sender", "InvalidIPv4Address", "unusable address or prefix");
        change.subnet_mask = mask_of(prefix);
        detail = change.ip_address + "/" + std::to_string(prefix);
    }
    if (has_dhcp) detail += std::string(detail.empty() ? "" : " ") + (dhcp ? "DHCP on" : "DHCP off");
    bool reboot_needed = dhcp;  // DHCP takes effect at the next start, as the camera's own setting does
    bool later = false;
    call.camera.update([&](CameraView& view) {
        if (has_dhcp) view.current.device.settings.dhcp = dhcp;
        later = view.current.device.onvif.faults.reboot_after_network;
    });
    OnvifAnswer answer;
    if (manual && later) {
        call.host.change_at_next_start(call.index, change);
        reboot_needed = true;
    } else if (manual && !dhcp) {
        SimCamera* camera = &call.camera;
        answer.after = [camera, change] { camera->apply(change); };
    }
    OnvifAnswer done = ok(set_network_interfaces_response(reboot_needed), detail);
    done.after = std::move(answer.after);
    return done;
}

OnvifAnswer network_default_gateway(OnvifCallContext& call) {
    return ok(network_default_gateway_response({call.camera.current().gateway}));
}

// The camera resolves names through its gateway, as a small LAN's router serves DNS.
OnvifAnswer dns(OnvifCallContext& call) {
    return ok("<tds:GetDNSResponse><tds:DNSInformation><tt:FromDHCP>false</tt:FromDHCP><tt:DNSManual>"
              "<tt:Type>IPv4</tt:Type><tt:IPv4Address>" + call.camera.current().gateway +
              "</tt:IPv4Address></tt:DNSManual></tds:DNSInformation></tds:GetDNSResponse>");
}

OnvifAnswer set_network_default_gateway(OnvifCallContext& call, pugi::xml_node op) {
    const std::string gateway = child_text(op, ns::kDevice, "IPv4Address");
    if (!parse_ipv4(gateway)) return soap_fault_answer(400, "Sender", "InvalidGatewayAddress", "unusable gateway");
    NetworkChange change;
    change.gateway = gateway;
    call.camera.apply(change);
    return ok(empty_response("SetNetworkDefaultGateway"), gateway);
}

OnvifAnswer system_reboot(OnvifCallContext& call) {
    call.host.reboot(call.index, kRestartDelayMs);
    return ok(system_reboot_response("Rebooting"));
}

OnvifAnswer factory_default(OnvifCallContext& call, pugi::xml_node op) {
    const std::string kind = child_text(op, ns::kDevice, "FactoryDefault");
    if (kind != "Hard" && kind != "Soft") return bad_argument("FactoryDefault is Hard or Soft");
    call.camera.update([&](CameraView& view) {
        ++view.record.factory_resets;
        view.state.restore_at_boot = true;
    });
    call.host.reboot(call.index, kRestartDelayMs);
    return ok(empty_response("SetSystemFactoryDefault"), kind);
}

OnvifAnswer users(OnvifCallContext& call) {
    std::vector<UserEntry> list;
    for (const CameraUser& user : call.camera.current().device.users)
        list.push_back(UserEntry{user.name, list.empty() ? "Administrator" : "User"});
    return ok(users_response(list));
}

OnvifAnswer set_user(OnvifCallContext& call, pugi::xml_node op) {
    const pugi::xml_node user = child(op, ns::kDevice, "User");
    const std::string name = child_text(user, ns::kSchema, "Username");
    const pugi::xml_node password = child(user, ns::kSchema, "Password");
    const std::string text = text_of(password);
    if (text.size() > 31) return soap_fault_answer(400, "Sender", "PasswordTooLong", "at most 31 characters");
    bool found = false;
    call.camera.update([&](CameraView& view) {
        for (CameraUser& u : view.current.device.users)
            if (u.name == name) {
                found = true;
                if (password) u.password = text;
            }
    });
    if (!found) return soap_fault_answer(400, "Sender", "UsernameMissing", "no such user");
    return ok(empty_response("SetUser"), "user " + name);
}

OnvifAnswer start_firmware_upgrade(OnvifCallContext& call) {
    const CameraConfig current = call.camera.current();
    if (!current.device.onvif.http_upload)
        return soap_fault_answer(500, "Receiver", "ActionNotSupported", "this camera takes firmware only by UpgradeSystemFirmware");
    std::string uri = "http://" + current.ip_address;
    if (current.http_port != 80) uri += ":" + std::to_string(current.http_port);
    uri += call.host.new_upload_path(call.index);
    return ok(start_firmware_upgrade_response(uri, current.device.onvif.upload_delay_s, current.device.onvif.expected_down_time_s));
}

} // namespace

// ONVIF's PRE_AUTH access class, of the calls this camera has.
bool needs_no_login(std::string_view operation) {
    return operation == "GetSystemDateAndTime" || operation == "GetServices" || operation == "GetCapabilities" ||
           operation == "GetServiceCapabilities" || operation == "GetHostname";
}

int64_t camera_utc_ms(const CameraConfig& current, const DeviceState& state) {
    return device_time_ms(state) - int64_t{current.device.settings.time_zone} * 1000;
}

OnvifAnswer soap_fault_answer(int status, std::string_view code, std::string_view subcode, std::string_view reason) {
    return OnvifAnswer{status, build_fault(code, subcode, reason), std::string(subcode.empty() ? reason : subcode), {}};
}

OnvifAnswer run_device_call(OnvifCallContext& call, pugi::xml_node op) {
    const std::string_view name = local_name(op.name());
    if (name == "GetSystemDateAndTime") return system_date_and_time(call);
    if (name == "SetSystemDateAndTime") return set_system_date_and_time(call, op);
    if (name == "GetDeviceInformation") return device_information(call);
    if (name == "GetNetworkInterfaces") return network_interfaces(call);
    if (name == "SetNetworkInterfaces") return set_network_interfaces(call, op);
    if (name == "GetNetworkDefaultGateway") return network_default_gateway(call);
    if (name == "SetNetworkDefaultGateway") return set_network_default_gateway(call, op);
    if (name == "GetDNS") return dns(call);
    if (name == "GetServices") return services(call);
    if (name == "GetCapabilities") return capabilities(call);
    if (name == "GetHostname") return hostname(call);
    if (name == "GetServiceCapabilities") return service_capabilities(call);
    if (name == "GetScopes") return scopes(call);
    if (name == "SystemReboot") return system_reboot(call);
    if (name == "SetSystemFactoryDefault") return factory_default(call, op);
    if (name == "GetUsers") return users(call);
    if (name == "SetUser") return set_user(call, op);
    if (name == "StartFirmwareUpgrade") return start_firmware_upgrade(call);
    return soap_fault_answer(500, "Receiver", "ActionNotSupported", "not supported by this device");
}
