#include "sim/SimFleet.h"

#include "foundation/debug_log.h"
#include "sim/FileLimit.h"
#include "sim/NetLab.h"

#include <algorithm>
#include <stdexcept>

SimFleet::SimFleet(const FleetConfig& config) : m_config(config) {
    m_cameras.reserve(config.cameras.size());
    for (const CameraConfig& camera : config.cameras) {
        m_cameras.push_back(std::make_unique<SimCamera>(camera));
        m_by_mac.emplace(camera.mac_address, m_cameras.back().get());  // the first of a repeated MAC wins
    }
    auto discovery = std::make_unique<DiscoveryResponder>(config, cameras());
    m_discovery = discovery.get();
    m_services.push_back(std::move(discovery));
    auto device = std::make_unique<DeviceService>(config, cameras());
    m_device = device.get();
    m_services.push_back(std::move(device));
    // The ONVIF side only where a camera speaks it: port 3702 and the HTTP ports stay free otherwise.
    const bool any_onvif = std::any_of(config.cameras.begin(), config.cameras.end(),
                                       [](const CameraConfig& c) { return speaks_onvif(c.device.onvif.protocols); });
    if (any_onvif) {
        auto wsd = std::make_unique<WsDiscoveryResponder>(config, cameras());
        m_wsd = wsd.get();
        m_services.push_back(std::move(wsd));
        DeviceService* own = m_device;
        auto onvif = std::make_unique<OnvifDeviceService>(config, cameras(), [own](size_t i, int64_t delay) { own->restart(i, delay); });
        m_onvif = onvif.get();
        m_services.push_back(std::move(onvif));
    }
}

SimFleet::~SimFleet() { stop(); }

bool SimFleet::start() {
    if (m_running) return true;
    // Cameras broadcast to the whole network; only the lab keeps that on this machine.
    if (!inside_network_lab()) {
        debug_log("[sim] the fleet opens discovery sockets: run it inside scripts/netlab.sh\n");
        return false;
    }
    // Every camera holds sockets of its own.
    raise_open_file_limit();
    for (size_t i = 0; i < m_services.size(); ++i) {
        if (m_services[i]->start()) continue;
        debug_log("[sim] the %s service did not start\n", m_services[i]->name());
        while (i-- > 0) m_services[i]->stop();
        return false;
    }
    m_running = true;
    return true;
}

void SimFleet::stop() {
    // Services stop in reverse order, so later ones may rely on earlier ones while they run.
    for (auto it = m_services.rbegin(); it != m_services.rend(); ++it) (*it)->stop();
    m_running = false;
}

void SimFleet::add_service(std::unique_ptr<SimService> service) {
    if (m_running) throw std::logic_error("SimFleet::add_service while running");
    m_services.push_back(std::move(service));
}

SimCamera* SimFleet::camera(std::string_view mac) {
    auto found = m_by_mac.find(std::string(mac));
    return found == m_by_mac.end() ? nullptr : found->second;
}

std::vector<SimCamera*> SimFleet::cameras() const {
    std::vector<SimCamera*> list;
    list.reserve(m_cameras.size());
    for (const auto& camera : m_cameras) list.push_back(camera.get());
    return list;
}
