#pragma once
#include "sim/CameraConfig.h"
#include "sim/DeviceService.h"
#include "sim/DiscoveryResponder.h"
#include "sim/SimCamera.h"
#include "sim/SimService.h"
#include "sim/onvif/OnvifDeviceService.h"
#include "sim/onvif/WsDiscoveryResponder.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A fleet of virtual cameras and the services through which the tool reaches them (discovery
// and the device SDK). Usable
// in-process by tests and run by fleetset-sim:
//
//     SimFleet fleet(config);
//     fleet.start();
//     ... fleet.camera(mac)->current(), fleet.camera(mac)->activity() ...
//     fleet.stop();
class SimFleet {
public:
    explicit SimFleet(const FleetConfig& config);
    ~SimFleet();
    SimFleet(const SimFleet&) = delete;
    SimFleet& operator=(const SimFleet&) = delete;

    // Starts every service in order; if one fails, stops those already started and returns
    // false (the reason is in the diagnostic log). Refuses outside the network lab.
    bool start();
    void stop();
    bool running() const { return m_running; }

    // Adds a service to start with the fleet; only while stopped.
    void add_service(std::unique_ptr<SimService> service);

    const FleetConfig& config() const { return m_config; }
    size_t size() const { return m_cameras.size(); }
    SimCamera& camera_at(size_t index) { return *m_cameras.at(index); }
    SimCamera* camera(std::string_view mac);  // null for a MAC not in the fleet
    std::vector<SimCamera*> cameras() const;

    DiscoveryResponder& discovery() { return *m_discovery; }
    DeviceService& device() { return *m_device; }
    // Null when no camera speaks ONVIF.
    WsDiscoveryResponder* ws_discovery() { return m_wsd; }
    OnvifDeviceService* onvif() { return m_onvif; }

private:
    FleetConfig m_config;
    std::vector<std::unique_ptr<SimCamera>> m_cameras;
    std::unordered_map<std::string, SimCamera*> m_by_mac;
    DiscoveryResponder* m_discovery = nullptr;  // owned by m_services
    DeviceService* m_device = nullptr;          // owned by m_services
    WsDiscoveryResponder* m_wsd = nullptr;      // owned by m_services
    OnvifDeviceService* m_onvif = nullptr;      // owned by m_services
    std::vector<std::unique_ptr<SimService>> m_services;
    bool m_running = false;
};
