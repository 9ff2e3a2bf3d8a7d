#include "onvif/TimeZone.h"

#include <cctype>
#include <cstdlib>

namespace onvif {

std::string posix_tz(int32_t seconds_east) {
    const int32_t west = -seconds_east;
    const int32_t magnitude = std::abs(west);
    std::string tz = "UTC";
    if (west < 0) tz += '-';
    tz += std::to_string(magnitude / 3600);
    if (const int32_t minutes = magnitude % 3600 / 60; minutes != 0) tz += (minutes < 10 ? ":0" : ":") + std::to_string(minutes);
    return tz;
}

bool tz_seconds_east(const std::string& tz, int32_t& out) {
    size_t i = 0;
    while (i < tz.size() && std::isalpha(static_cast<unsigned char>(tz[i]))) ++i;
    if (i < 3 || i == tz.size()) return false;
    int sign = 1;
    if (tz[i] == '+' || tz[i] == '-') sign = tz[i++] == '-' ? -1 : 1;
    // Digits only from here (strtol would take a second sign), each field within its range.
    if (i == tz.size() || !std::isdigit(static_cast<unsigned char>(tz[i]))) return false;
    char* end = nullptr;
    const long hours = std::strtol(tz.c_str() + i, &end, 10);
    if (hours > 24) return false;
    long minutes = 0;
    if (*end == ':') {
        if (!std::isdigit(static_cast<unsigned char>(end[1]))) return false;
        minutes = std::strtol(end + 1, &end, 10);
        if (minutes > 59) return false;
    }
    out = static_cast<int32_t>(-sign * (hours * 3600 + minutes * 60));
    return true;
}

} // namespace onvif
