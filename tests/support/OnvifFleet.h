#pragma once
// The simulated cameras' ONVIF side, driven from the tool's side of the lab: the device
// service through our own DeviceClient over curl, WS-Discovery with plain UDP sockets.
#include "foundation/Clock.h"
#include "onvif/DeviceClient.h"
#include "onvif/WsDiscovery.h"
#include "sim/FleetGenerator.h"
#include "sim/SimFleet.h"
#include "sim/onvif/OnvifIdentity.h"
#include "support/Eventually.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace support {

// A UDP socket of the tool's (10.77.0.1), on `port` (0: any), in the WS-Discovery group when asked.
class WsdSocket {
public:
    explicit WsdSocket(uint16_t port = 0, bool join = false) {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        local.sin_addr.s_addr = join ? htonl(INADDR_ANY) : inet_addr("10.77.0.1");
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) throw std::runtime_error("WsdSocket: bind");
        ip_mreqn group{};
        group.imr_multiaddr.s_addr = inet_addr("239.255.255.250");
        group.imr_address.s_addr = inet_addr("10.77.0.1");
        if (join && ::setsockopt(m_fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0) throw std::runtime_error("WsdSocket: join");
        const in_addr out{inet_addr("10.77.0.1")};
        ::setsockopt(m_fd, IPPROTO_IP, IP_MULTICAST_IF, &out, sizeof out);
    }
    ~WsdSocket() { ::close(m_fd); }
    WsdSocket(const WsdSocket&) = delete;
    WsdSocket& operator=(const WsdSocket&) = delete;

    void send(const std::string& text, const std::string& to_ip, uint16_t to_port = 3702) const {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(to_port);
        to.sin_addr.s_addr = inet_addr(to_ip.c_str());
        ::sendto(m_fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    // The next message read, with the address it came from; nullopt when none comes within
    // wait_ms system ms (only whether something arrives is asked, never how soon).
    std::optional<std::pair<std::string, onvif::WsdMessage>> receive(int64_t wait_ms = 10000) const {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::max<int64_t>(1, Clock::real_ms(wait_ms)))) <= 0) return std::nullopt;
        char buffer[65536];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        onvif::WsdMessage message;
        if (got <= 0 || onvif::parse_discovery(std::string_view(buffer, static_cast<size_t>(got)), message) != onvif::WsdStatus::ok)
            return std::nullopt;
        return std::make_pair(std::string(inet_ntoa(from.sin_addr)), message);
    }

private:
    int m_fd = -1;
};

class OnvifFleetTest : public ::testing::Test {
protected:
    void TearDown() override {
        fleet.reset();
        Clock::set_speed(1.0);
    }
    // `count` generated cameras that speak both protocols, each adjusted before the start.
    void start(size_t count, const std::function<void(CameraConfig&)>& adjust = {}) {
        FleetConfig config;
        config.cameras = generate_cameras(count);
        for (CameraConfig& camera : config.cameras) {
            camera.device.onvif.protocols = CameraProtocols::Both;
            camera.device.reboot_ms = 2000;
            if (adjust) adjust(camera);
        }
        fleet = std::make_unique<SimFleet>(config);
        ASSERT_TRUE(fleet->start());
    }
    SimCamera& camera(size_t n = 1) { return fleet->camera_at(n - 1); }
    std::string xaddr(size_t n = 1) { return device_xaddr(camera(n).current()); }
    std::unique_ptr<onvif::DeviceClient> client(size_t n = 1, const std::string& password = "") {
        return std::make_unique<onvif::DeviceClient>(xaddr(n), "Admin", password);
    }
    // One POST of our own making.
    static onvif::HttpResponse post(const std::string& url, const std::string& content_type, const std::string& body,
                                    const std::string& authorization = {}) {
        onvif::CurlTransport transport;
        onvif::HttpResponse response;
        transport.post(onvif::HttpRequest{url, content_type, authorization, body}, response);
        return response;
    }
    bool back_online(size_t n, uint64_t reboots) {
        return eventually([&] { return camera(n).device_record().reboots >= reboots && camera(n).online(); });
    }

    std::unique_ptr<SimFleet> fleet;
};

} // namespace support
