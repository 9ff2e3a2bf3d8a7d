#pragma once
#include "onvif/OnvifCamera.h"
#include "onvif/WsDiscovery.h"

#include <map>
#include <set>
#include <string>
#include <vector>

// The ONVIF cameras heard on the LAN, one per endpoint UUID, in the order first heard. Fed
// with parsed datagrams: a ProbeMatches counts only when it relates to one of our probes
// (anyone may send one), a Hello adds a camera that has an ONVIF type, a Bye removes its
// camera. Bounded, since every datagram may be made up. Not thread-safe.
namespace onvif {

constexpr size_t kMaxCameras = 4096;

class CameraTable {
public:
    explicit CameraTable(size_t limit = kMaxCameras) : m_limit(limit) {}

    void add_probe_id(const std::string& message_id) { m_probe_ids.insert(message_id); }

    enum class Heard { ignored, added, updated, removed };
    Heard take(const WsdMessage& message, const std::string& source_address);

    const std::vector<OnvifCamera>& cameras() const { return m_cameras; }

private:
    Heard take_endpoint(const WsdEndpoint& endpoint, const std::string& source_address);
    Heard remove(const std::string& uuid);

    size_t m_limit;
    std::set<std::string> m_probe_ids;
    std::vector<OnvifCamera> m_cameras;
    std::map<std::string, size_t> m_index;  // uuid to its place in m_cameras
};

} // namespace onvif
