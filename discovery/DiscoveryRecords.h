#pragma once
#include <cstddef>
#include <cstdint>

// The fixed-size records that the discovery messages carry. Texts are NUL-terminated
// 8-bit strings of at most 31 characters. Records are compared and copied as whole blocks,
// so callers zero a record before filling it.

constexpr size_t kDiscoveryTextSize = 32;

struct DEV_INFO {
    char mac_address[kDiscoveryTextSize];
    char ip_address[kDiscoveryTextSize];
    uint16_t port;            // written by FromMe only
    uint16_t cmd_port;
    uint16_t media_port;
    uint16_t phone_port;      // the mobile-client port
    char master_ip[kDiscoveryTextSize];  // written by FromMe only
    int32_t ipc_type;
    int32_t board_type;
    int32_t device_type;      // 0 makes a reply invalid
    char subnet_mask[kDiscoveryTextSize];
    char gateway[kDiscoveryTextSize];
    char software_ver[kDiscoveryTextSize];  // empty makes a reply invalid
    uint16_t http_port;
};
static_assert(sizeof(DEV_INFO) == 216);
static_assert(offsetof(DEV_INFO, ip_address) == 32);
static_assert(offsetof(DEV_INFO, port) == 64);
static_assert(offsetof(DEV_INFO, phone_port) == 70);
static_assert(offsetof(DEV_INFO, master_ip) == 72);
static_assert(offsetof(DEV_INFO, ipc_type) == 104);
static_assert(offsetof(DEV_INFO, device_type) == 112);
static_assert(offsetof(DEV_INFO, subnet_mask) == 116);
static_assert(offsetof(DEV_INFO, software_ver) == 180);
static_assert(offsetof(DEV_INFO, http_port) == 212);

struct REQUEST_DEVICE_INFO {
    char server_ip[kDiscoveryTextSize];  // the tool's local address the request leaves on
    uint16_t server_port;                // the tool's receive port
    int32_t connection_type;             // always 2
};
static_assert(sizeof(REQUEST_DEVICE_INFO) == 40);
static_assert(offsetof(REQUEST_DEVICE_INFO, server_port) == 32);
static_assert(offsetof(REQUEST_DEVICE_INFO, connection_type) == 36);

struct NETWORK_INFO_REQUEST {
    char dev_mac[kDiscoveryTextSize];    // the device that must act
    char new_dev_ip[kDiscoveryTextSize];
    char new_dev_submask[kDiscoveryTextSize];
    char new_dev_gateway[kDiscoveryTextSize];
    int32_t new_dev_cmdport;
    int32_t new_dev_mediaport;
    int32_t new_dev_mobileport;
    int32_t new_dev_httpport;
    char server_ip[kDiscoveryTextSize];  // left empty by the tool
    int32_t server_port;                 // left 0 by the tool
};
static_assert(sizeof(NETWORK_INFO_REQUEST) == 180);
static_assert(offsetof(NETWORK_INFO_REQUEST, new_dev_cmdport) == 128);
static_assert(offsetof(NETWORK_INFO_REQUEST, new_dev_httpport) == 140);
static_assert(offsetof(NETWORK_INFO_REQUEST, server_ip) == 144);
static_assert(offsetof(NETWORK_INFO_REQUEST, server_port) == 176);
