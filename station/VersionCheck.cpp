#include "station/VersionCheck.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kFieldMax = 27;
constexpr size_t kMinimumExpectedLength = 5;

// atoi without its undefined overflow.
uint32_t field_value(const char* field) {
    long value = std::strtol(field, nullptr, 10);
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

} // namespace

void parse_version(const char* text, uint32_t& v0, uint32_t& v1, uint32_t& v2, uint32_t& v3) {
    if (!text) return;
    uint32_t* const out[] = {&v0, &v1, &v2, &v3};
    size_t next = 0;
    char field[kFieldMax + 1] = {};
    size_t length = 0;
    for (const char* p = text; next < 4; ++p) {
        if (*p == '.' || *p == '-' || *p == '\0') {
            field[length] = '\0';
            *out[next++] = field_value(field);
            length = 0;
            if (*p == '\0') break;
        } else if (length < kFieldMax) {
            field[length++] = *p;
        }
    }
}

VersionVerdict check_version(const std::string& expected, const std::string& device) {
    uint32_t t[4] = {}, d[4] = {};
    parse_version(expected.c_str(), t[0], t[1], t[2], t[3]);
    parse_version(device.c_str(), d[0], d[1], d[2], d[3]);
    for (int i = 0; i < 3; ++i)
        if (t[i] > d[i]) return VersionVerdict::TooNew;
    for (int i = 0; i < 3; ++i)
        if (t[i] < d[i]) return VersionVerdict::TooOld;
    char formatted[40];
    std::snprintf(formatted, sizeof formatted, "%d.%d.%d", static_cast<int>(t[0]), static_cast<int>(t[1]),
                  static_cast<int>(t[2]));
    return std::strncmp(formatted, device.c_str(), expected.size()) == 0 ? VersionVerdict::Normal
                                                                         : VersionVerdict::NoLine;
}

const char* version_line_key(VersionVerdict verdict) {
    switch (verdict) {
    case VersionVerdict::Normal: return "IDS_VERSION_NORMAL";
    case VersionVerdict::TooNew: return "IDS_VERSION_ERROR";
    case VersionVerdict::TooOld: return "UDS_INSERT_VERSION_LOW";
    case VersionVerdict::NoLine: break;
    }
    return nullptr;
}

bool version_text_long_enough(const std::string& expected) { return expected.size() >= kMinimumExpectedLength; }
