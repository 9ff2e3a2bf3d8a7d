#include "onvif/DeviceMessages.h"

#include "onvif/BoundedXml.h"
#include "onvif/Namespaces.h"
#include "onvif/UsernameToken.h"
#include "onvif/WsDiscovery.h"

#include <algorithm>

namespace onvif {

namespace {

bool read_number(pugi::xml_node parent, const char* name, long low, long high, long& out) {
    return parse_int(child_text(parent, ns::kSchema, name), low, high, out);
}

} // namespace

Request get_system_date_and_time() {
    return {"GetSystemDateAndTime", "<tds:GetSystemDateAndTime/>"};
}

Request get_device_information() {
    return {"GetDeviceInformation", "<tds:GetDeviceInformation/>"};
}

Request get_scopes() {
    return {"GetScopes", "<tds:GetScopes/>"};
}

bool read_system_date_and_time(pugi::xml_node response, SystemDateAndTime& out) {
    const pugi::xml_node system = child(response, ns::kDevice, "SystemDateAndTime");
    const pugi::xml_node utc = child(system, ns::kSchema, "UTCDateTime");
    const pugi::xml_node date = child(utc, ns::kSchema, "Date");
    const pugi::xml_node time = child(utc, ns::kSchema, "Time");
    long year, month, day, hour, minute, second;
    if (!read_number(date, "Year", 1970, 9999, year) || !read_number(date, "Month", 1, 12, month) ||
        !read_number(date, "Day", 1, 31, day) || !read_number(time, "Hour", 0, 23, hour) ||
        !read_number(time, "Minute", 0, 59, minute) || !read_number(time, "Second", 0, 60, second))
        return false;
    out.ntp = child_text(system, ns::kSchema, "DateTimeType") == "NTP";
    out.daylight_savings = parse_bool(child_text(system, ns::kSchema, "DaylightSavings"), false);
    out.time_zone = child_text(child(system, ns::kSchema, "TimeZone"), ns::kSchema, "TZ");
    out.utc_seconds = days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                      hour * 3600 + minute * 60 + std::min(second, 59L);
    return true;
}

std::string system_date_and_time_response(const SystemDateAndTime& clock) {
    const std::string t = utc_text(clock.utc_seconds);  // "YYYY-MM-DDThh:mm:ssZ"
    auto part = [&](const char* name, size_t at, size_t n) {
        const std::string number = t.substr(at, n);
        const size_t digit = std::min(number.find_first_not_of('0'), n - 1);
        return "<tt:" + std::string(name) + ">" + number.substr(digit) + "</tt:" + name + ">";
    };
    std::string xml = "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:DateTimeType>";
    xml += clock.ntp ? "NTP" : "Manual";
    xml += std::string("</tt:DateTimeType><tt:DaylightSavings>") + (clock.daylight_savings ? "true" : "false") + "</tt:DaylightSavings>";
    if (!clock.time_zone.empty()) xml += "<tt:TimeZone><tt:TZ>" + xml_escape(clock.time_zone) + "</tt:TZ></tt:TimeZone>";
    xml += "<tt:UTCDateTime><tt:Time>" + part("Hour", 11, 2) + part("Minute", 14, 2) + part("Second", 17, 2) + "</tt:Time><tt:Date>" +
           part("Year", 0, 4) + part("Month", 5, 2) + part("Day", 8, 2) + "</tt:Date></tt:UTCDateTime>";
    return xml + "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>";
}

bool read_device_information(pugi::xml_node response, DeviceInformation& out) {
    out.manufacturer = child_text(response, ns::kDevice, "Manufacturer");
    out.model = child_text(response, ns::kDevice, "Model");
    out.firmware_version = child_text(response, ns::kDevice, "FirmwareVersion");
    out.serial_number = child_text(response, ns::kDevice, "SerialNumber");
    out.hardware_id = child_text(response, ns::kDevice, "HardwareId");
    // All five are required; a camera that leaves one empty still tells the others.
    return child(response, ns::kDevice, "FirmwareVersion") || child(response, ns::kDevice, "Model");
}

bool read_scopes(pugi::xml_node response, std::vector<Scope>& out) {
    out.clear();
    for (pugi::xml_node scope = child(response, ns::kDevice, "Scopes"); scope && out.size() < kMaxListItems; scope = next_same(scope)) {
        Scope s;
        s.fixed = child_text(scope, ns::kSchema, "ScopeDef") == "Fixed";
        s.item = child_text(scope, ns::kSchema, "ScopeItem");
        if (!s.item.empty()) out.push_back(std::move(s));
    }
    return !out.empty();
}

} // namespace onvif
