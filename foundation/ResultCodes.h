#pragma once
#include <cstdint>

// Result codes shared by the foundation and the discovery classes.
enum : uint32_t {
    RC_OK = 0,
    RC_FAIL = 1,            // the log says which
    RC_ALREADY_STARTED = 6,
    RC_NOT_STARTED = 7,
    RC_ARG_MISSING = 8,     // null owner, null callback, null packet
};
