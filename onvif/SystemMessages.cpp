#include "onvif/SystemMessages.h"

#include "onvif/BoundedXml.h"
#include "onvif/Namespaces.h"
#include "onvif/UsernameToken.h"

#include <algorithm>

namespace onvif {

namespace {

// One number of "YYYY-MM-DDThh:mm:ssZ" as an element, without leading zeros (xs:int).
std::string number_element(const std::string& utc, const char* name, size_t at, size_t n) {
    const std::string digits = utc.substr(at, n);
    const size_t first = std::min(digits.find_first_not_of('0'), n - 1);
    return "<tt:" + std::string(name) + ">" + digits.substr(first) + "</tt:" + name + ">";
}

} // namespace

Request set_system_date_and_time(const ClockSetting& setting) {
    const std::string utc = utc_text(setting.utc_seconds);
    // The order is the schema's sequence; strict devices refuse another.
    std::string body = "<tds:SetSystemDateAndTime><tds:DateTimeType>Manual</tds:DateTimeType><tds:DaylightSavings>";
    body += setting.daylight_savings ? "true" : "false";
    body += "</tds:DaylightSavings>";
    if (!setting.time_zone.empty()) body += "<tds:TimeZone><tt:TZ>" + xml_escape(setting.time_zone) + "</tt:TZ></tds:TimeZone>";
    body += "<tds:UTCDateTime><tt:Time>" + number_element(utc, "Hour", 11, 2) + number_element(utc, "Minute", 14, 2) +
            number_element(utc, "Second", 17, 2) + "</tt:Time><tt:Date>" + number_element(utc, "Year", 0, 4) +
            number_element(utc, "Month", 5, 2) + number_element(utc, "Day", 8, 2) + "</tt:Date></tds:UTCDateTime>";
    return {"SetSystemDateAndTime", body + "</tds:SetSystemDateAndTime>"};
}

Request system_reboot() {
    return {"SystemReboot", "<tds:SystemReboot/>"};
}

bool read_system_reboot(pugi::xml_node response, std::string& message) {
    message = child_text(response, ns::kDevice, "Message");
    return true;
}

Request set_system_factory_default(FactoryDefault kind) {
    return {"SetSystemFactoryDefault", std::string("<tds:SetSystemFactoryDefault><tds:FactoryDefault>") +
                                           (kind == FactoryDefault::hard ? "Hard" : "Soft") +
                                           "</tds:FactoryDefault></tds:SetSystemFactoryDefault>"};
}

} // namespace onvif
