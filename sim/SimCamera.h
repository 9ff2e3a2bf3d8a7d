#pragma once
#include "sim/CameraActivity.h"
#include "sim/CameraConfig.h"
#include "sim/DeviceRecord.h"
#include "sim/Ipv4.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The camera's device side as a service sees it while holding the camera's lock.
struct CameraView {
    CameraConfig& current;
    const CameraConfig& factory;  // as the fleet started it: what a factory reset restores
    DeviceState& state;
    DeviceRecord& record;
    bool network_changed = false;  // set when the address or a port was changed
};

// One virtual camera: its identity, its current settings and what it has heard. Services
// (discovery, the device SDK) share a camera across threads, so every read and write of the
// mutable state goes through the camera's own lock.
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

    // Off while rebooting: it neither hears nor answers anything.
    bool online() const;
    DeviceState device_state() const;
    DeviceRecord device_record() const;

    // Runs `change` under the camera's lock; it must not block. Observers hear of it
    // afterwards when it set network_changed or brought the camera back online.
    void update(const std::function<void(CameraView&)>& change);

    using Observer = std::shared_ptr<const std::function<void()>>;
    // Called, outside the camera's lock, after every change of address or ports (apply, or an
    // update that set network_changed). Register before the services start.
    void add_network_observer(Observer observer);
    // Called, outside the camera's lock, when an update turns the camera back on after a
    // reboot, with its new address and version already in place. Register before the
    // services start.
    void add_online_observer(Observer observer);
    // Called, outside the camera's lock, when an update turns the camera off for a reboot
    // (the ONVIF side says Bye). Register before the services start.
    void add_offline_observer(Observer observer);

private:
    void notify(const std::vector<Observer>& list);

    const std::string m_mac;
    const CameraConfig m_factory;
    mutable std::mutex m_mutex;
    CameraConfig m_current;
    uint64_t m_generation = 0;
    CameraActivity m_activity;
    std::optional<Endpoint> m_tool;
    DeviceState m_device;
    DeviceRecord m_record;
    std::vector<Observer> m_network_observers;
    std::vector<Observer> m_online_observers;
    std::vector<Observer> m_offline_observers;
};

// The device side with the identity texts that the configuration leaves empty derived from
// the MAC and the board type, as the camera reports them.
DeviceSide effective_device(const CameraConfig& camera);

// How firmware headers name a board type: "0x3516".
std::string board_type_text(int32_t board_type);
