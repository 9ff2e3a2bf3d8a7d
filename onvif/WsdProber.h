#pragma once
#include "onvif/CameraTable.h"

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Finds ONVIF cameras with WS-Discovery: probes the multicast group from every local IPv4
// address, once for tds:Device and once for dn:NetworkVideoTransmitter (older cameras list
// only the second), each probe sent twice against loss; listens on the group's port for Hello
// and Bye while it runs; and, for cameras behind a router, probes each address of a range by
// unicast, paced so that a large range does not flood the link. What it hears goes into a
// CameraTable. Every pause goes through Clock and ends at stop().
namespace onvif {

// Unicast probes go to at most this many addresses (a /16).
constexpr uint32_t kMaxProbeRange = 65536;

struct ProbeRange {
    uint32_t first = 0;  // host byte order
    uint32_t last = 0;
    bool empty() const { return first == 0 && last == 0; }
};
// "FIRST-LAST" as two dotted quads, first <= last, at most kMaxProbeRange addresses.
bool parse_probe_range(std::string_view text, ProbeRange& out);

struct ProberConfig {
    uint16_t port = 3702;
    std::string group = "239.255.255.250";
    // The local IPv4 addresses to probe from; empty: every address of the machine (as our
    // own discovery finds them).
    std::function<std::vector<std::string>()> local_addresses;
    ProbeRange range;                  // empty: no unicast probes
    int64_t repeat_gap_ms = 300;       // between the two rounds of multicast probes
    size_t range_burst = 32;           // unicast addresses probed between two pauses
    int64_t range_gap_ms = 20;
    size_t camera_limit = kMaxCameras;
};

class WsdProber {
public:
    explicit WsdProber(ProberConfig config = {});
    ~WsdProber();
    WsdProber(const WsdProber&) = delete;
    WsdProber& operator=(const WsdProber&) = delete;

    // Opens the sockets and starts probing and listening; false when no probe socket opened.
    bool start();
    void stop();

    // Every probe has been sent (the range included), or the prober stopped.
    bool probes_sent() const { return m_probes_sent.load(); }
    std::vector<OnvifCamera> cameras() const;

private:
    void send_probes();
    // A probe per ONVIF type to one destination, each under its own MessageID of ids.
    void send_typed(int socket, const sockaddr_in& to, const std::vector<std::string>& ids);
    std::vector<std::string> fresh_ids();
    void receive();
    void read_datagram(int socket);
    bool pause(int64_t ms) const;
    void close_sockets();

    ProberConfig m_config;
    std::vector<int> m_probe_sockets;  // one per local address, replies come back to it
    int m_range_socket = -1;
    int m_listen_socket = -1;          // the group's port: Hello and Bye
    int m_wake = -1;                   // an eventfd that ends the receiver's poll

    mutable std::mutex m_mutex;        // the table, between the receiver and readers
    CameraTable m_table;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_probes_sent{false};
    std::thread m_sender;
    std::thread m_receiver;
};

} // namespace onvif
