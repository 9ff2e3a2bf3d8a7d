#include "onvif/CameraTable.h"

#include "onvif/Scopes.h"

namespace onvif {

CameraTable::Heard CameraTable::take(const WsdMessage& message, const std::string& source_address) {
    switch (message.kind) {
    case WsdKind::probe: return Heard::ignored;  // our own, or another tool's
    case WsdKind::bye: return remove(message.endpoints.at(0).address);
    case WsdKind::hello:
        // Printers and other WS-Discovery devices greet the same group.
        return has_onvif_type(message.endpoints.at(0)) ? take_endpoint(message.endpoints[0], source_address) : Heard::ignored;
    case WsdKind::probe_matches: break;
    }
    if (message.relates_to.empty() || !m_probe_ids.count(message.relates_to)) return Heard::ignored;
    Heard heard = Heard::ignored;
    for (const WsdEndpoint& endpoint : message.endpoints) {
        const Heard one = take_endpoint(endpoint, source_address);
        if (one == Heard::added || heard == Heard::ignored) heard = one;
    }
    return heard;
}

CameraTable::Heard CameraTable::take_endpoint(const WsdEndpoint& endpoint, const std::string& source_address) {
    auto found = m_index.find(endpoint.address);
    if (found == m_index.end() && m_cameras.size() >= m_limit) return Heard::ignored;
    const bool added = found == m_index.end();
    if (added) {
        found = m_index.emplace(endpoint.address, m_cameras.size()).first;
        m_cameras.emplace_back();
        m_cameras.back().uuid = endpoint.address;
    }
    OnvifCamera& camera = m_cameras[found->second];
    // A Hello after a restart or a new address brings the camera's current lists.
    camera.xaddrs = endpoint.xaddrs;
    camera.scopes = endpoint.scopes;
    camera.types = endpoint.types;
    camera.metadata_version = endpoint.metadata_version;
    camera.source_address = source_address;
    if (std::string mac = scope_mac(endpoint.scopes); !mac.empty()) camera.mac = std::move(mac);
    return added ? Heard::added : Heard::updated;
}

CameraTable::Heard CameraTable::remove(const std::string& uuid) {
    const auto found = m_index.find(uuid);
    if (found == m_index.end()) return Heard::ignored;
    m_cameras.erase(m_cameras.begin() + static_cast<std::ptrdiff_t>(found->second));
    m_index.clear();
    for (size_t i = 0; i < m_cameras.size(); ++i) m_index[m_cameras[i].uuid] = i;
    return Heard::removed;
}

} // namespace onvif
