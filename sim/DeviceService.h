#pragma once
#include "sim/CameraConfig.h"
#include "sim/DeviceCommands.h"
#include "sim/SimCamera.h"
#include "sim/SimService.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class DeviceSession;

// The cameras' device SDK side: each camera listens on its command port at its own address.
// One thread waits on every listening socket, accepts connections and runs the cameras'
// restarts; each connection is then served on a thread of its own (DeviceSession), at most
// FleetConfig::max_connections at once, so an idle fleet of a thousand costs one thread.
class DeviceService : public SimService, private DeviceHost {
public:
    DeviceService(const FleetConfig& config, std::vector<SimCamera*> cameras);
    ~DeviceService() override;

    const char* name() const override { return "device SDK"; }
    bool start() override;
    void stop() override;

    size_t open_connections() const;

private:
    struct Listener {
        int fd = -1;
        std::string ip;
        uint16_t port = 0;
        std::string failed;  // the address last refused, logged once
    };
    struct Slot {
        std::shared_ptr<DeviceSession> session;
        std::thread thread;
    };
    enum class Step { PowerOff, PowerOn };
    struct Event {
        Step step;
        size_t camera;
    };

    void restart_later(size_t camera_index, int64_t delay_ms) override;

    void run();
    void wake();
    void accept_from(size_t camera_index);
    void start_session(int fd, size_t camera_index);
    void reap_sessions();
    void run_due_events();
    void power_off(size_t camera_index);
    void power_on(size_t camera_index);
    void place_listeners();
    void place_listener(size_t camera_index, bool coming_online = false);
    void close_listener(size_t camera_index);
    void end_sessions_of(size_t camera_index);
    std::string dhcp_address(size_t camera_index);
    int wait_timeout_ms();

    FleetConfig m_config;  // fleet-wide settings; the cameras' own live in the cameras
    std::vector<SimCamera*> m_cameras;
    std::vector<Listener> m_listeners;
    int m_epoll = -1;
    int m_wake = -1;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_moved{true};  // a camera's address or port may have changed

    // The network observers outlive the service in the cameras; they write to the wake
    // descriptor only while the service holds it open.
    struct Waker {
        std::mutex mutex;
        int fd = -1;
        std::atomic<bool>* moved = nullptr;
    };
    std::shared_ptr<Waker> m_waker;

    mutable std::mutex m_mutex;  // the sessions, the schedule; never held while taking a camera's lock
    std::unordered_map<uint64_t, Slot> m_sessions;
    std::vector<uint64_t> m_finished;
    uint64_t m_next_session = 1;
    std::multimap<int64_t, Event> m_schedule;  // by system ms
    std::unordered_map<std::string, std::string> m_leases;  // DHCP addresses by MAC
};
