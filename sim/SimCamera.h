#pragma once
#include "sim/CameraActivity.h"
#include "sim/CameraConfig.h"
#include "sim/Ipv4.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

// One virtual camera: its identity, its current settings and what it has heard. Services
// (discovery now, the device SDK later) share a camera across threads, so every read and
// write of the mutable state goes through the camera's own lock.
class SimCamera {
public:
    explicit SimCamera(CameraConfig initial);
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

    const std::string& mac() const { return m_mac; }

    CameraConfig current() const;
    // Counts every applied change; a service holding resources tied to the camera's address
    // compares it to notice that the camera has moved.
    uint64_t network_generation() const;

    // Invalid address texts count as absent: a camera keeps its old value rather than take
    // an address it could not use.
    AppliedChange apply(const NetworkChange& change);

    void record_request(const ReceivedRequest& request);
    void count_replies(uint64_t count);
    CameraActivity activity() const;

    // The tool's receive address as last named in a request, for answers the camera sends
    // on its own initiative.
    void remember_tool(Endpoint tool);
    std::optional<Endpoint> last_tool() const;

private:
    const std::string m_mac;
    mutable std::mutex m_mutex;
    CameraConfig m_current;
    uint64_t m_generation = 0;
    CameraActivity m_activity;
    std::optional<Endpoint> m_tool;
};
