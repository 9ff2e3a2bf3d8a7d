#pragma once
#include "sim/CameraListener.h"
#include "sim/CameraConfig.h"
#include "sim/SimCamera.h"
#include "sim/SimService.h"
#include "sim/onvif/OnvifCall.h"
#include "sim/onvif/OnvifLogins.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class HttpRequestReader;
namespace onvif {
class SoapRequest;
}
struct HttpHead;

// The ONVIF device service of every camera that speaks ONVIF: SOAP 1.2 over HTTP/1.1 at
// http://<its address>:<http_port>/onvif/device_service, and the firmware upload address it
// hands out. One thread waits on every camera's listener and every idle connection; a ready
// connection is served by one of kWorkers threads, one request at a time, then waits again
// (keep-alive), so a fleet of a thousand with many clients costs kWorkers + 1 threads.
// A rebooting camera closes its listener and its connections, as the device SDK side does;
// the reboot itself is the camera's one reboot (`reboot`, the device SDK service's).
class OnvifDeviceService : public SimService, private OnvifHost {
public:
    using Reboot = std::function<void(size_t camera_index, int64_t delay_ms)>;

    OnvifDeviceService(const FleetConfig& config, std::vector<SimCamera*> cameras, Reboot reboot);
    ~OnvifDeviceService() override;

    const char* name() const override { return "ONVIF device service"; }
    bool start() override;
    void stop() override;

    size_t open_connections() const;

    static constexpr size_t kWorkers = 8;
    static constexpr size_t kMaxConnections = 1024;
    static constexpr size_t kMaxConnectionsPerCamera = 32;
    static constexpr int64_t kIdleMs = 60000;

private:
    struct Connection {
        int fd = -1;
        size_t camera = 0;
        std::unique_ptr<HttpRequestReader> reader;
        int64_t last_ms = 0;
        bool busy = false;
    };
    struct CameraState {
        OnvifLogins logins;
        std::string upload_path;
        uint32_t signed_calls = 0;
        uint64_t random = 0;
    };
    // Shared with the cameras' observers, which outlive the service.
    struct Shared {
        std::mutex mutex;
        int wake_fd = -1;
        std::atomic<bool> moved{true};
        std::unordered_map<size_t, NetworkChange> at_next_start;
    };

    void reboot(size_t camera_index, int64_t delay_ms) override;
    std::string new_upload_path(size_t camera_index) override;
    void change_at_next_start(size_t camera_index, const NetworkChange& change) override;

    void run();
    void work();
    void wake();
    void place_listeners();
    void drop_connections_of(size_t camera_index);
    void accept_from(size_t camera_index);
    void close_connection(int fd);
    void sweep_idle();
    // One request from the connection; false when it is to be closed.
    bool serve(Connection& connection);
    bool serve_soap(Connection& connection, const HttpHead& head);
    bool serve_attachment(Connection& connection, const HttpHead& head);
    // The caller's login and the busy fault; an answer with an envelope when refused.
    OnvifAnswer admit(Connection& connection, const HttpHead& head, const onvif::SoapRequest& request, std::string& extra);
    void record(size_t camera_index, const std::string& operation, const std::string& detail, int status);

    FleetConfig m_config;
    std::vector<SimCamera*> m_cameras;
    Reboot m_reboot;
    std::vector<CameraListener> m_listeners;
    std::shared_ptr<Shared> m_shared;
    int m_epoll = -1;
    int m_wake = -1;
    std::thread m_thread;
    std::vector<std::thread> m_workers;
    std::atomic<bool> m_stopping{false};

    mutable std::mutex m_mutex;  // connections, the work queue; never held while taking a camera's lock
    std::condition_variable m_ready;
    std::unordered_map<int, std::unique_ptr<Connection>> m_connections;
    std::deque<int> m_queue;
    std::vector<int> m_finished;

    std::mutex m_state_mutex;  // the cameras' ONVIF states
    std::vector<CameraState> m_states;
};
