#pragma once
#include "discovery/DiscoveryRecords.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

// Fills a fixed text field of a record; the text is cut to leave room for the NUL.
template <size_t N>
void set_text(char (&field)[N], std::string_view text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

// The MAC of the n-th of many devices (from 0): 00:1A:2B:00:00:00 upward.
inline std::string numbered_mac(int n) {
    char text[18];
    std::snprintf(text, sizeof text, "00:1A:2B:00:%02X:%02X", (n / 256) & 0xFF, n % 256);
    return text;
}

// A discovery record as a camera of the default simulated fleet sends it.
inline DEV_INFO make_device_record(const std::string& mac, const std::string& ip, const std::string& version = "2.4.1") {
    DEV_INFO d{};
    set_text(d.mac_address, mac);
    set_text(d.ip_address, ip);
    set_text(d.subnet_mask, "255.255.0.0");
    set_text(d.gateway, "10.77.0.254");
    set_text(d.software_ver, version);
    d.cmd_port = 6001;
    d.media_port = 6002;
    d.http_port = 80;
    d.phone_port = 6003;
    d.ipc_type = 1;
    d.board_type = 0x3516;
    d.device_type = 1;
    return d;
}
