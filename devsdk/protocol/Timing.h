#pragma once
#include "devsdk/ovix_client.h"

#include <cstdint>

// Time limits of the device protocol, in system milliseconds (foundation/Clock.h).
namespace ovix {

// TCP connect plus the device's hello.
constexpr int64_t kConnectTimeoutMs = OVIX_CONNECT_TIMEOUT_MS;
// From sending a request to its answer; the login's answer included.
constexpr int64_t kRequestTimeoutMs = OVIX_REQUEST_TIMEOUT_MS;
// The client pings a connection on which nothing arrived for this long...
constexpr int64_t kKeepaliveIdleMs = 5000;
// ...and gives it up when nothing at all arrived for this long. A peer that takes no byte
// of a frame for this long counts as gone as well.
constexpr int64_t kPeerSilenceMs = 15000;
// An upgrade that neither sends nor hears of progress for this long has failed.
constexpr int64_t kUpgradeStallMs = 15000;
// Image bytes per upgrade data frame: small enough that a slow link moves one well within
// the stall limit.
constexpr uint32_t kUpgradeChunkBytes = 32 * 1024;

} // namespace ovix
