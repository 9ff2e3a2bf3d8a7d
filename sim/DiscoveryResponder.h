#pragma once
#include "sim/CameraConfig.h"
#include "sim/ReplyScheduler.h"
#include "sim/RequestGate.h"
#include "sim/SimCamera.h"
#include "sim/SimService.h"
#include "sim/UdpSocket.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

// The cameras' side of discovery. One thread serves the whole fleet: it waits on the shared
// device port and on each camera's own socket, answers requests, applies change requests,
// and sends delayed replies when their time comes, so a thousand cameras cost one thread.
// A camera back from a reboot announces itself with one unasked reply by broadcast. Only
// well-formed requests are answered, unicast answers go to the sender's own address, and
// each destination gets a bounded number of answered requests (RequestGate.h).
class DiscoveryResponder : public SimService {
public:
    struct Stats {
        uint64_t requests_handled = 0;    // valid request datagrams, after every camera acted
        uint64_t datagrams_ignored = 0;   // bad magic, short, undecodable or other commands
        uint64_t replies_sent = 0;
        uint64_t send_failures = 0;
        uint64_t replies_pending = 0;     // scheduled for later
        uint64_t requests_unanswered = 0; // valid, but over their destination's budget
    };

    DiscoveryResponder(const FleetConfig& config, std::vector<SimCamera*> cameras);
    ~DiscoveryResponder() override;

    const char* name() const override { return "discovery"; }
    bool start() override;
    void stop() override;

    Stats stats() const;

private:
    struct CameraSlot {
        UdpSocket socket;
        uint64_t generation = 0;
        std::string failed_address;  // the address last refused, logged once
    };

    void run();
    void drain(size_t source);  // source: kSharedSource or a camera index
    void handle_datagram(const unsigned char* data, size_t length, const Endpoint& from, size_t source);
    void handle_device_info_request(std::string_view payload, const Endpoint& from, size_t source);
    void handle_change_request(std::string_view payload, const Endpoint& from, size_t source);
    void announce_returns();
    bool is_broadcast(uint32_t destination) const;
    Endpoint broadcast_destination() const;
    Endpoint reply_destination(const Endpoint& tool) const;
    void send_due_replies();
    void send_reply(size_t camera, const Endpoint& destination);
    bool ensure_camera_socket(size_t camera, const CameraConfig& current);
    void watch(int fd, uint64_t tag);
    void unwatch(int fd);
    int wait_timeout_ms() const;
    void close_all();

    static constexpr size_t kSharedSource = static_cast<size_t>(-1);

    FleetConfig m_config;   // fleet-wide settings; the cameras' own settings live in the cameras
    std::vector<SimCamera*> m_cameras;
    std::vector<CameraSlot> m_slots;
    UdpSocket m_shared;
    ReplyScheduler m_scheduler;
    RequestBudget m_budget;
    int m_epoll = -1;
    int m_wake = -1;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};

    // Cameras back from a reboot, queued by the device side's thread for this one. The
    // observers outlive the responder in the cameras; they queue only while it is running.
    struct Returns {
        std::mutex mutex;
        int wake_fd = -1;
        std::vector<size_t> cameras;
    };
    std::shared_ptr<Returns> m_returns;

    std::atomic<uint64_t> m_requests_handled{0};
    std::atomic<uint64_t> m_ignored{0};
    std::atomic<uint64_t> m_replies_sent{0};
    std::atomic<uint64_t> m_send_failures{0};
    std::atomic<uint64_t> m_pending{0};
    std::atomic<uint64_t> m_unanswered{0};
};
