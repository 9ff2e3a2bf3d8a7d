#pragma once
#include "onvif/DeviceMessages.h"
#include "onvif/WsDiscovery.h"

#include <cstdint>
#include <string>
#include <vector>

// One ONVIF camera as the tool knows it: what WS-Discovery said about it, then what a login
// read from its device service.
namespace onvif {

// How far reading a camera's device service got.
enum class Reading {
    not_tried,       // found, not read (yet)
    no_credentials,  // the tool was given no login, so it did not ask
    ok,
    refused,         // the login was refused
    unreachable,     // no usable answer at its XAddr, or no http XAddr at all
    failed,          // answered, but not with what was asked
};
const char* reading_name(Reading reading);

struct OnvifCamera {
    std::string uuid;                  // the endpoint address, "urn:uuid:..."
    std::vector<std::string> xaddrs;
    std::vector<std::string> scopes;
    std::vector<QName> types;
    uint32_t metadata_version = 0;
    std::string source_address;        // the IPv4 address its last message came from
    std::string mac;                   // from its scopes, else from its network interfaces

    Reading reading = Reading::not_tried;
    DeviceInformation information;     // when reading is ok
    std::string reading_text;          // what went wrong, for the log
};

// The first http (or https) XAddr whose host is the IPv4 address the camera's messages came
// from (any dotted quad while that is unknown), "" when there is none. Anyone on the LAN can
// announce any XAddr; a login sent to a host of its choosing would hand it our digest to
// guess the password from, and names would be looked up outside the LAN.
std::string first_http_xaddr(const OnvifCamera& camera);
// The camera's IPv4 address: the host of that XAddr when it is a dotted quad, else the
// address its messages came from.
std::string camera_address(const OnvifCamera& camera);

} // namespace onvif
