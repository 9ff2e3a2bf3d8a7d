#pragma once
#include "onvif/DeviceMessages.h"

#include <cstdint>
#include <string>

// Requests that change a camera's system: its clock, a reboot, a factory reset, and the
// reader of the reboot's answer. Texts are escaped here.
namespace onvif {

struct ClockSetting {
    int64_t utc_seconds = 0;        // the camera's new UTC clock as Unix seconds, 1970 to 9999
    std::string time_zone;          // POSIX TZ ("CST-8", "CET-1CEST,M3.5.0,M10.5.0/3"); empty keeps the camera's
    bool daylight_savings = false;
};
// DateTimeType Manual: the camera keeps the time it is given, not NTP's.
Request set_system_date_and_time(const ClockSetting& setting);

Request system_reboot();
// The camera's message about the reboot ("Rebooting in 30 seconds"); it may be empty.
bool read_system_reboot(pugi::xml_node response, std::string& message);

// Soft keeps what a camera needs to stay reachable (its address, as the maker decides); Hard
// resets everything.
enum class FactoryDefault { soft, hard };
Request set_system_factory_default(FactoryDefault kind);

} // namespace onvif
