#pragma once
#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <vector>

// Device service requests and the readers of their responses, for the calls that read a
// camera: clock, identity, scopes. Each reader takes the response element (the body's first
// element, already checked to be "tds:<operation>Response") and returns false when it lacks
// what the call must return; then out is undefined.
namespace onvif {

// What a call sends: its operation name (the SOAP action's last part, and the response
// element's name without "Response") and its body element.
struct Request {
    std::string operation;
    std::string body;
};

Request get_system_date_and_time();
Request get_device_information();
Request get_scopes();

struct SystemDateAndTime {
    bool ntp = false;             // DateTimeType "NTP", else manual
    bool daylight_savings = false;
    std::string time_zone;        // POSIX TZ text, may be empty
    int64_t utc_seconds = 0;      // the device's UTC clock as Unix seconds
};
// Needs UTCDateTime (mandatory since version 2.0 of the device service): a device's local
// time alone cannot sign a token.
bool read_system_date_and_time(pugi::xml_node response, SystemDateAndTime& out);
// A device's response element (the simulator's; the tests' fake device).
std::string system_date_and_time_response(const SystemDateAndTime& clock);

struct DeviceInformation {
    std::string manufacturer;
    std::string model;
    std::string firmware_version;
    std::string serial_number;
    std::string hardware_id;
    bool operator==(const DeviceInformation&) const = default;
};
bool read_device_information(pugi::xml_node response, DeviceInformation& out);

struct Scope {
    bool fixed = false;  // ScopeDef "Fixed": the vendor's, not to be removed
    std::string item;    // the URI as the device gave it
    bool operator==(const Scope&) const = default;
};
bool read_scopes(pugi::xml_node response, std::vector<Scope>& out);

} // namespace onvif
