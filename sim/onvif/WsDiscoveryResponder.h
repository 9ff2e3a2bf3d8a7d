#pragma once
#include "sim/CameraConfig.h"
#include "sim/Ipv4.h"
#include "sim/RequestGate.h"
#include "sim/SimCamera.h"
#include "sim/SimService.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

// WS-Discovery (2005/04) for every camera that speaks ONVIF. One thread and one socket serve
// the fleet: the socket, on the cameras' side of the lab, takes UDP 3702 and joins
// 239.255.255.250 on the interface its route names, so it hears multicast probes and those
// sent to any camera's own address alike; each datagram's destination says which. A camera
// answers a probe whose types it has (none listed matches) with a ProbeMatches from its own
// address to the prober's address and port, after a random delay below kMaxDelayMs. It says
// Hello when the service starts and when it is back from a reboot, Bye when it goes down,
// both to the multicast group. Only probes are answered, never with more than kMaxPending
// matches waiting, and a multicast probe, which the whole fleet answers, only within its
// sender's RequestBudget (a prober sends four at a time): a forged source address cannot turn
// the fleet into an amplifier aimed at it. A probe to one camera's address is answered by that
// camera alone, so a unicast sweep over many addresses is never held back.
class WsDiscoveryResponder : public SimService {
public:
    static constexpr uint16_t kPort = 3702;
    static constexpr const char* kGroup = "239.255.255.250";
    static constexpr int64_t kMaxDelayMs = 500;  // APP_MAX_DELAY
    static constexpr size_t kMaxPending = 65536;

    struct Stats {
        uint64_t probes = 0;
        uint64_t probes_unanswered = 0;  // multicast, over their sender's budget
        uint64_t ignored = 0;       // not discovery, not a probe, or unreadable
        uint64_t matches_sent = 0;
        uint64_t hellos_sent = 0;
        uint64_t byes_sent = 0;
        uint64_t send_failures = 0;
    };

    WsDiscoveryResponder(const FleetConfig& config, std::vector<SimCamera*> cameras);
    ~WsDiscoveryResponder() override;

    const char* name() const override { return "WS-Discovery"; }
    bool start() override;
    void stop() override;
    Stats stats() const;

private:
    enum class Kind { match, hello, bye };
    struct Pending {
        Kind kind;
        size_t camera;
        Endpoint to;
        std::string relates_to;
        std::string from_ip;  // the camera's address when the event happened
    };
    struct Events {
        std::mutex mutex;
        int wake_fd = -1;
        std::vector<Pending> list;
    };

    void run();
    void take_events();
    void receive();
    void handle(const char* data, size_t length, const Endpoint& from, uint32_t destination);
    void schedule(int64_t delay_ms, Pending pending);
    void send_due();
    void send(const Pending& pending);
    int64_t random_delay();

    FleetConfig m_config;
    std::vector<SimCamera*> m_cameras;
    std::vector<uint32_t> m_message_numbers;
    uint32_t m_instance_base = 0;
    uint64_t m_random = 0;
    int m_socket = -1;
    int m_epoll = -1;
    int m_wake = -1;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::shared_ptr<Events> m_events;
    std::multimap<int64_t, Pending> m_pending;  // by system ms
    RequestBudget m_budget;
    // Probes heard lately, by MessageID and destination: SOAP over UDP retransmits a message
    // unchanged, and a receiver answers it once. Bounded, oldest out first.
    static constexpr size_t kProbesRemembered = 1024;
    std::unordered_set<std::string> m_probes_seen;
    std::deque<std::string> m_probe_order;

    std::atomic<uint64_t> m_probes{0}, m_unanswered{0}, m_ignored{0}, m_matches{0}, m_hellos{0}, m_byes{0}, m_failures{0};
};
