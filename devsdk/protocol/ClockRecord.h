#pragma once
#include "devsdk/ovix_client.h"

#include <ctime>

// The date and time words of a clock record from calendar fields; the record's other bytes
// (profile, the device's own) stay as they are. The tool writes its local time this way and a
// camera answers its own clock the same way.
inline void set_clock_fields(ovix_clock& clock, const std::tm& fields) {
    clock.year = fields.tm_year + 1900;
    clock.month = fields.tm_mon + 1;
    clock.day = fields.tm_mday;
    clock.hour = fields.tm_hour;
    clock.minute = fields.tm_min;
    clock.second = fields.tm_sec;
}
