#pragma once
#include <cstdint>
#include <string>

// The POSIX TZ texts of ONVIF's clock calls, as far as a UTC offset goes: POSIX counts west of
// UTC, so 8 hours east is "UTC-8" (or "CST-8"). Daylight-saving rules after the offset are not
// read.
namespace onvif {

// "UTC0", "UTC-8", "UTC+3:30" from seconds east of UTC (whole minutes).
std::string posix_tz(int32_t seconds_east);

// The offset of a TZ text as seconds east of UTC: a name of three or more letters, an optional
// sign, hours up to 24 and optional minutes up to 59. False when there is none to read; a text
// from the network never overflows.
bool tz_seconds_east(const std::string& tz, int32_t& out);

} // namespace onvif
