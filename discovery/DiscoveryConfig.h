#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the discovery engine takes from its surroundings. The defaults are the system's own
// values; tests hand in other ports, another broadcast address or a fixed interface list.
struct DiscoveryConfig {
    uint16_t recv_port = 12000;                    // local port of the receive and request sockets
    uint16_t device_port = 13000;                  // destination port of every request
    std::string broadcast_address = "255.255.255.255";
    // The host's IPv4 addresses, loopback excluded, at most 10, in a stable order.
    // Empty means the machine's own interface list (getifaddrs).
    std::function<std::vector<std::string>()> local_addresses;
    // Directory of the trace files "send.txt" and "recv.txt"; "." is the working directory.
    std::string trace_directory = ".";
    // Bounds against a sender of made-up replies; the defaults lie far above any real fleet.
    size_t device_limit = 16384;                   // records in the device table (and replies queued)
    size_t trace_file_limit = size_t{2} << 20;     // bytes per trace file before it is rotated
};
