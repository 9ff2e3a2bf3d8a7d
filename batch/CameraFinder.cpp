#include "batch/CameraFinder.h"

#include "foundation/Clock.h"

namespace {

// Cameras answer a probe within half a second (their random delay); a look listens a little
// longer, so that a lost answer shows only as a look that found nothing.
constexpr int64_t kLookMs = 1000;
constexpr int64_t kLookSliceMs = 50;

std::string xaddr_of(const onvif::WsdProber& prober, const std::string& uuid) {
    for (const onvif::OnvifCamera& camera : prober.cameras())
        if (camera.uuid == uuid) return onvif::first_http_xaddr(camera);
    return {};
}

} // namespace

void HelloListener::start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_prober) return;
    m_prober = std::make_unique<onvif::WsdProber>(m_config);
    // One that cannot open its sockets leaves the finders to their probes.
    if (!m_prober->start()) m_prober.reset();
}

std::string HelloListener::xaddr_of(const std::string& uuid) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_prober ? ::xaddr_of(*m_prober, uuid) : std::string();
}

WsdCameraFinder::WsdCameraFinder(onvif::ProberConfig config, std::shared_ptr<HelloListener> listener)
    : m_config(std::move(config)), m_listener(listener ? std::move(listener) : std::make_shared<HelloListener>(m_config)) {}

WsdCameraFinder::~WsdCameraFinder() = default;

void WsdCameraFinder::watch(const std::string&) {
    // A camera's Bye removes it from the listener's table, so what is left after its reboot
    // is what its Hello said; a stale entry only costs a login that fails.
    m_listener->start();
}

std::string WsdCameraFinder::find(const std::string& uuid, const std::string& last_address,
                                  const std::function<bool()>& stopped) {
    // What the listener heard, unless the last look gave that already: the caller then found
    // nobody there, and a Bye and Hello may both have been lost.
    std::string heard = m_listener->xaddr_of(uuid);
    if (!heard.empty() && heard != m_last) return m_last = heard;
    onvif::ProberConfig config = m_config;
    onvif::ProbeRange range;
    if (!last_address.empty() && onvif::parse_probe_range(last_address + "-" + last_address, range))
        config.range = range;
    onvif::WsdProber prober(config);
    if (!prober.start()) return {};
    std::string found;
    for (int64_t waited = 0; found.empty() && waited < kLookMs && !stopped(); waited += kLookSliceMs) {
        Clock::sleep_ms(kLookSliceMs);
        found = xaddr_of(prober, uuid);
    }
    m_last = found;
    return found;
}
