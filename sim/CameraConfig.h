#pragma once
#include <cstdint>
#include <string>
#include <vector>

// How a camera misbehaves towards the tool's discovery, to exercise the tool's defences.
// Every knob applies to each reply the camera sends, including the one after an address change.
struct DiscoveryFaults {
    int duplicate_replies = 0;     // extra copies of every reply
    int reply_delay_ms = 0;        // a late reply: sent this long after the request (system ms)
    bool malformed_reply = false;  // the XML text is garbled (no attribute can be read)
    bool truncated_reply = false;  // fewer bytes than the header's length word says
    bool empty_version = false;    // replies carry an empty software_ver
    bool zero_device_type = false; // replies carry device_type 0
    bool silent = false;           // hears (and applies changes) but never answers

    bool operator==(const DiscoveryFaults&) const = default;
};

// One simulated camera as the discovery side sees it. The device SDK side adds its own
// settings later; keep this the one record of a camera's identity and addresses.
struct CameraConfig {
    std::string mac_address;   // e.g. "00:1A:2B:00:00:01"; the key, never changes
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

    bool operator==(const CameraConfig&) const = default;
};

// Broadcast is the default: the tool listens on a wildcard socket and sees broadcasts
// whatever other sockets it holds on its port, whereas a unicast reply goes to whichever of
// them the kernel prefers.
enum class ReplyMode { Unicast, Broadcast };

struct FleetConfig {
    std::vector<CameraConfig> cameras;
    ReplyMode reply_mode = ReplyMode::Broadcast;
    uint16_t device_port = 13000;          // where cameras listen for requests
    uint16_t tool_port = 12000;            // broadcast replies go to this port
    std::string broadcast_address = "255.255.255.255";
    // Answers to one request are spread evenly over this window (system ms), camera by camera
    // in fleet order, as a real fleet's answers trickle in; 0 answers all at once.
    int reply_spread_ms = 0;
    bool log_traffic = false;              // one diagnostic line per request and change
};
