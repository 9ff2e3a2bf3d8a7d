#pragma once
#include "sim/onvif/OnvifSide.h"

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

// One user account of a camera's device SDK side.
struct CameraUser {
    std::string name;
    std::string password;
    bool operator==(const CameraUser&) const = default;
};

// An answer a camera gives instead of carrying a request out, to exercise the tool's
// handling of refusals and busy devices. A rule matches requests of one kind (or "any") and,
// for the kinds that carry one, one command, control or LDR code (-1 for all of them).
struct SdkFaultRule {
    std::string request = "any";  // login, ping, get_config, set_config, device_control, ldr_control,
                                  // ircut_control, ptz_control, play_voice, get_capability,
                                  // upgrade_start, live_start, live_stop, live_control, or any
    int32_t command = -1;
    int32_t result = 17;
    uint32_t nth = 0;             // from the nth matching request (1 is the first) ...
    uint32_t count = 1;           // ... for this many; with nth 0 see probability
    double probability = 0;       // with nth 0: each matching request with this chance, 0 = every one

    bool operator==(const SdkFaultRule&) const = default;
};

// How a camera misbehaves on the device SDK side. Percentages are of the firmware file;
// -1 switches a knob off.
struct SdkFaults {
    std::vector<SdkFaultRule> answers;
    int upgrade_stall_percent = -1;  // from here the camera takes no more image data and reports nothing
    int upgrade_drop_percent = -1;   // here it resets the connection
    int upgrade_fail_percent = -1;   // here it reports the transfer failed, with upgrade_fail_result
    int32_t upgrade_fail_result = 1;
    bool reboot_never_returns = false;
    bool upgrade_install_fails = false;  // takes the whole file, reboots, and still runs its old version
    int64_t link_bytes_per_second = 0;  // a slow link both ways; 0 is as fast as the host
    uint64_t seed = 0;               // for the probabilities; 0 derives one from the MAC

    bool operator==(const SdkFaults&) const = default;
};

// The TF card slot as the USB/TF information reports it.
struct TfCard {
    bool present = true;
    int32_t total_mb = 30436;
    int32_t free_mb = 29870;
    std::string description = "TF card 32 GB";
    bool operator==(const TfCard&) const = default;
};

// The 64-byte capability record's fields.
struct CameraCapability {
    uint8_t microphone = 1;
    uint8_t speaker = 1;
    uint8_t ircut = 1;
    uint8_t tf_slot = 1;
    uint8_t ptz = 1;
    int8_t lamp_type = 1;         // 0 none, 1 double, 2 white, 3 infrared, 4..6 the same with PWM
    uint8_t digital_zoom = 1;
    uint8_t lamp_board = 1;       // 1 soft light, 2 hard light
    bool operator==(const CameraCapability&) const = default;
};

// The settings record's fields as a camera holds them.
struct CameraSettings {
    int32_t time_zone = 0;        // seconds east of UTC
    int32_t time_format = 0;
    int32_t language = 0;
    int32_t video_standard = 2;   // 1 NTSC, 2 PAL, 5 family-1 default
    int32_t wifi_ch_max = 13;
    int32_t wifi_ch_default = 0;  // 0 automatic
    bool dhcp = false;            // takes effect at the next start
    bool operator==(const CameraSettings&) const = default;
};

// The fastest picture rate a camera streams, whether its own or one a viewer asks for.
inline constexpr int32_t kMaxFrameRate = 60;

// Versions a camera accepts for an upgrade.
enum class VersionPolicy { Any, NotOlder, Newer };

// The device SDK side of one camera. Identity texts left empty are derived from the MAC and
// board type when the camera reports them (effective_device), so that every camera of a
// generated fleet differs.
struct DeviceSide {
    std::vector<CameraUser> users{{"Admin", ""}};  // the first is the account the settings record's password sets
    int user_limit = 10;
    std::string board_name;       // empty: "IPC-" and the board type in hexadecimal
    int64_t board_id = -1;        // -1: the board type
    std::string hardware_version = "HW1.0";
    std::string serial;
    std::string pid;
    std::string cloud_uid;
    std::string qr_text;          // empty: the cloud UID
    TfCard tf_card;
    CameraCapability capability;
    CameraSettings settings;
    int32_t clock_profile = 1;    // byte 36 of the clock record
    int32_t frame_rate = 15;      // its own picture rate, 1 to kMaxFrameRate: what a viewer asking for rate 0 gets
    int reboot_ms = 30000;        // silence while rebooting, system ms
    bool announce_after_reboot = true;  // back from a reboot, one unasked discovery reply by broadcast
    std::string dhcp_address;     // where DHCP puts the camera; empty: the fleet's pool
    VersionPolicy version_policy = VersionPolicy::NotOlder;
    SdkFaults faults;
    OnvifSide onvif;              // the protocols it speaks, and its ONVIF side

    bool operator==(const DeviceSide&) const = default;
};

// One simulated camera: its identity and addresses as discovery shows them, and its device
// SDK side. The one record of a camera's settings.
struct CameraConfig {
    std::string mac_address;   // e.g. "00:1A:2B:00:00:01"; the key, never changes
    std::string ip_address;
    std::string subnet_mask = "255.255.0.0";
    std::string gateway = "10.77.0.254";
    uint16_t cmd_port = 6001;  // where the device SDK logs in; the test station always uses 6001
    uint16_t media_port = 6002;
    uint16_t http_port = 80;
    uint16_t phone_port = 6003;
    int32_t ipc_type = 1;
    int32_t board_type = 0x3516;
    int32_t device_type = 1;   // 0 makes its replies invalid to the tool
    std::string software_ver = "2.4.1";  // empty makes its replies invalid
    DiscoveryFaults faults;
    DeviceSide device;

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
    // Where a DHCP server hands out addresses to cameras that have no dhcp_address of their own.
    std::string dhcp_pool_start = "10.77.200.1";
    // Device SDK logins served at once across the fleet, each on a thread of its own; one more
    // is refused with 15. Connections that have not logged in are bounded apart (DeviceService).
    int max_connections = 2048;
};
