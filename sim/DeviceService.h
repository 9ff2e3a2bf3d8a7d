#pragma once
#include "sim/CameraConfig.h"
#include "sim/CameraListener.h"
#include "sim/DeviceCommands.h"
#include "sim/FileLimit.h"
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
// restarts; each connection is then served on a thread of its own (DeviceSession), so an idle
// fleet of a thousand costs one thread.
//
// Limits. A connection that has not logged in yet is waiting: each camera keeps at most
// kWaitingPerCamera of them and the fleet kWaitingInFleet, and a new connection beyond either
// pushes out the oldest waiting one (which has had its chance; a client logs in at once), so
// idle connections cannot keep anyone out. A waiting connection also ends at the login
// deadline. Logged-in connections are bounded per camera by its user limit and across the
// fleet by FleetConfig::max_connections (a login beyond it is refused with 15). Together they
// stay below the open-file limit.
class DeviceService : public SimService, private DeviceHost {
public:
    DeviceService(const FleetConfig& config, std::vector<SimCamera*> cameras);
    ~DeviceService() override;

    const char* name() const override { return "device SDK"; }
    bool start() override;
    void stop() override;

    size_t open_connections() const;
    // The camera's one reboot, for its other protocols: down after delay_ms, back after its reboot time.
    void restart(size_t camera_index, int64_t delay_ms) { restart_later(camera_index, delay_ms); }

    static constexpr size_t kWaitingPerCamera = 8;
    static constexpr size_t kWaitingInFleet = 512;

private:
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
    bool enter_login() override;
    void leave_login() override;

    void run();
    void wake();
    void accept_from(size_t camera_index);
    void start_session(int fd, size_t camera_index);
    void make_room_for_waiting(size_t camera_index);
    void reap_sessions();
    void run_due_events();
    void power_off(size_t camera_index);
    void power_on(size_t camera_index);
    void place_listeners();
    void place_listener(size_t camera_index, bool coming_online = false);
    void end_sessions_of(size_t camera_index);
    std::string dhcp_address(size_t camera_index);
    int wait_timeout_ms();

    FleetConfig m_config;  // fleet-wide settings; the cameras' own live in the cameras
    std::vector<SimCamera*> m_cameras;
    std::vector<CameraListener> m_listeners;
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
    std::map<uint64_t, Slot> m_sessions;  // by id, so oldest first
    std::vector<uint64_t> m_finished;
    uint64_t m_next_session = 1;
    std::multimap<int64_t, Event> m_schedule;  // by system ms
    std::unordered_map<std::string, std::string> m_leases;  // DHCP addresses by MAC

    size_t m_session_cap = 0;              // connections of any kind, from the open-file limit
    int64_t m_login_cap = 0;               // logged-in connections across the fleet
    std::atomic<int64_t> m_logins{0};
    std::unique_ptr<SpareDescriptor> m_spare;
};
