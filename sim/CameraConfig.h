#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One simulated camera as the discovery side sees it. The device SDK side adds its own
// settings later; keep this the one record of a camera's identity and addresses.
struct DiscoveryFaults {
    int duplicate_replies = 0;     // extra copies of every reply
    int reply_delay_ms = 0;        // a late reply: sent this long after the request (system ms)
    bool malformed_reply = false;  // the XML text is garbled (fields unreadable)
    bool truncated_reply = false;  // fewer bytes than the header's length word says
    bool ignore_requests = false;  // a camera that never answers
};

struct CameraConfig {
    std::string mac_address;   // e.g. "00:12:41:00:00:01"; the key
    std::string ip_address;
    std::string subnet_mask = "255.255.0.0";
    std::string gateway = "10.77.0.254";
    uint16_t cmd_port = 5000;
    uint16_t media_port = 5001;
    uint16_t http_port = 80;
    uint16_t phone_port = 5002;
    int32_t ipc_type = 1;
    int32_t board_type = 0x3516;
    int32_t device_type = 1;   // 0 makes its replies invalid to the tool
    std::string software_ver = "2.4.1";  // empty makes its replies invalid
    DiscoveryFaults faults;
};

enum class ReplyMode { Unicast, Broadcast };

struct FleetConfig {
    std::vector<CameraConfig> cameras;
    ReplyMode reply_mode = ReplyMode::Unicast;
    uint16_t device_port = 13000;          // where cameras listen for requests
    uint16_t tool_port = 12000;            // broadcast replies go to this port
    std::string broadcast_address = "255.255.255.255";
};
