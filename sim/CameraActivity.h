#pragma once
#include "sim/CameraConfig.h"

#include <cstdint>
#include <deque>
#include <string>

// New network settings for a camera. An empty text or a port of 0 or less keeps the current
// value, the way cameras treat the tool's change requests.
struct NetworkChange {
    std::string ip_address;
    std::string subnet_mask;
    std::string gateway;
    int32_t cmd_port = 0;
    int32_t media_port = 0;
    int32_t http_port = 0;
    int32_t phone_port = 0;
};

// One request datagram as a camera heard it.
struct ReceivedRequest {
    uint32_t command = 0;
    std::string source_ip;     // where the datagram came from
    uint16_t source_port = 0;
    std::string server_ip;     // the tool's address named in the request, if any
    int32_t server_port = 0;
    std::string dev_mac;       // change requests only
    bool for_me = true;        // false for a change request naming another camera
    bool unicast = false;      // arrived on the camera's own address rather than the shared port
};

struct AppliedChange {
    NetworkChange requested;
    CameraConfig before;
    CameraConfig after;
};

// What a camera received and did, for tests and diagnostics. The lists keep the most recent
// entries only, so a long-running fleet does not grow without bound; the counters are totals.
struct CameraActivity {
    static constexpr size_t kHistory = 64;

    uint64_t requests_seen = 0;   // every request datagram, whoever it named
    uint64_t changes_applied = 0;
    uint64_t replies_sent = 0;    // datagrams actually handed to the kernel, copies included
    std::deque<ReceivedRequest> requests;
    std::deque<AppliedChange> changes;
};
