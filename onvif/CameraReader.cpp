#include "onvif/CameraReader.h"

#include "onvif/DeviceClient.h"
#include "onvif/Scopes.h"

#include <algorithm>
#include <thread>

namespace onvif {

namespace {

// Reading identities is a short errand, not a job: a camera gets a few seconds, not 20.
constexpr int64_t kConnectTimeoutMs = 2000;
constexpr int64_t kCallTimeoutMs = 5000;

// Refuses every call once a stop was asked for, so that a camera's remaining calls end at once.
class StoppableTransport : public HttpTransport {
public:
    StoppableTransport(std::unique_ptr<HttpTransport> inner, const std::function<bool()>& stopped)
        : m_inner(std::move(inner)), m_stopped(stopped) {}
    TransportStatus post(const HttpRequest& request, HttpResponse& response) override {
        return m_stopped() ? TransportStatus::unreachable : m_inner->post(request, response);
    }

private:
    std::unique_ptr<HttpTransport> m_inner;
    const std::function<bool()>& m_stopped;
};

Reading reading_of(const Result& result) {
    switch (result.status) {
    case Status::ok: return Reading::ok;
    case Status::not_authorized: return Reading::refused;
    case Status::unreachable: return Reading::unreachable;
    default: return Reading::failed;
    }
}

// The interface that carries the camera's address, else the first with a MAC.
std::string mac_of(const std::vector<NetworkInterface>& interfaces, const std::string& address) {
    for (const NetworkInterface& nic : interfaces) {
        const auto current = nic.current_address();
        if (!nic.mac.empty() && current && current->address == address) return nic.mac;
    }
    for (const NetworkInterface& nic : interfaces)
        if (!nic.mac.empty()) return nic.mac;
    return {};
}

void read_camera(OnvifCamera& camera, const CameraLogin& login, const std::function<bool()>& stopped, const ReaderConfig& config) {
    const std::string xaddr = first_http_xaddr(camera);
    if (xaddr.empty()) {
        camera.reading = Reading::unreachable;
        camera.reading_text = "no http XAddr at the address it speaks from";
        return;
    }
    std::unique_ptr<HttpTransport> inner;
    if (config.transport) {
        inner = config.transport();
    } else {
        CurlTransport::Limits limits;
        limits.connect_timeout_ms = kConnectTimeoutMs;
        limits.timeout_ms = kCallTimeoutMs;
        inner = std::make_unique<CurlTransport>(limits);
    }
    DeviceClient client(xaddr, login.user, login.password, std::make_unique<StoppableTransport>(std::move(inner), stopped));
    // The clock first: a token's Created is judged by the camera's clock. A camera that does
    // not tell its time may still take a digest, so only no answer at all ends here.
    if (Result clock = client.read_clock(); clock.status == Status::unreachable) {
        camera.reading = Reading::unreachable;
        camera.reading_text = describe(clock);
        return;
    }
    DeviceInformation information;
    const Result result = client.get_device_information(information);
    camera.reading = reading_of(result);
    if (!result.ok()) {
        camera.reading_text = describe(result);
        return;
    }
    camera.information = information;
    if (!camera.mac.empty()) return;
    std::vector<NetworkInterface> interfaces;
    if (client.get_network_interfaces(interfaces).ok()) camera.mac = mac_of(interfaces, camera_address(camera));
}

} // namespace

void read_cameras(std::vector<OnvifCamera>& cameras, const CameraLogin& login, const std::function<bool()>& stopped,
                  const ReaderConfig& config) {
    if (!login.given) {
        for (OnvifCamera& camera : cameras) camera.reading = Reading::no_credentials;
        return;
    }
    std::atomic<size_t> next{0};
    const auto worker = [&] {
        for (size_t i = next++; i < cameras.size() && !stopped(); i = next++) read_camera(cameras[i], login, stopped, config);
    };
    std::vector<std::thread> workers;
    const size_t count = std::min(std::max<size_t>(config.parallel, 1), cameras.size());
    for (size_t i = 0; i < count; ++i) workers.emplace_back(worker);
    for (std::thread& t : workers) t.join();
}

} // namespace onvif
