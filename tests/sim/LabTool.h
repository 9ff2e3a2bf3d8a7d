#pragma once
// The tool's side of discovery in the lab, on raw sockets: sends requests as the tool does and
// collects what comes back, so the simulator is tested without the discovery engine.
#include "discovery/DiscoveryHeader.h"
#include "discovery/DiscoveryMessages.h"
#include "foundation/Clock.h"

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lab {

constexpr const char* kToolAddress = "10.77.0.1";
constexpr const char* kBroadcast = "255.255.255.255";

struct Datagram {
    std::string source_ip;
    uint16_t source_port = 0;
    std::vector<unsigned char> bytes;

    DiscoveryHeader header() const {
        DiscoveryHeader h{};
        std::memcpy(&h, bytes.data(), std::min(bytes.size(), sizeof h));
        h.to_host();
        return h;
    }
    std::string payload() const {
        return bytes.size() < kDiscoveryHeaderSize ? std::string() : std::string(bytes.begin() + kDiscoveryHeaderSize, bytes.end());
    }
    // The reply as the tool reads it; nullopt when the tool would reject it.
    std::optional<DEV_INFO> device() const {
        DEV_INFO info{};
        MSG_DEV_INFO_REPLY message;
        if (message.ToMe(payload(), &info, sizeof info) != 0) return std::nullopt;
        return info;
    }
};

inline std::vector<unsigned char> datagram(uint32_t command, const std::string& text) {
    DiscoveryHeader header{};
    header.word[0] = kDiscoveryMagic;
    header.word[2] = command;
    header.word[7] = static_cast<uint32_t>(text.size());
    header.to_network();
    std::vector<unsigned char> bytes(reinterpret_cast<unsigned char*>(&header), reinterpret_cast<unsigned char*>(&header + 1));
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

inline NETWORK_INFO_REQUEST change_request(const std::string& mac, const std::string& ip, const std::string& mask = "",
                                           const std::string& gateway = "") {
    NETWORK_INFO_REQUEST request{};
    std::strncpy(request.dev_mac, mac.c_str(), sizeof request.dev_mac - 1);
    std::strncpy(request.new_dev_ip, ip.c_str(), sizeof request.new_dev_ip - 1);
    std::strncpy(request.new_dev_submask, mask.c_str(), sizeof request.new_dev_submask - 1);
    std::strncpy(request.new_dev_gateway, gateway.c_str(), sizeof request.new_dev_gateway - 1);
    return request;
}

// Polls a condition through the Clock, at most `limit_ms` system milliseconds.
inline bool eventually(const std::function<bool()>& condition, int64_t limit_ms = 10000) {
    for (int64_t waited = 0; waited < limit_ms && !condition(); waited += 5) Clock::sleep_ms(5);
    return condition();
}

class Tool {
public:
    // Receives on `receive_ip`:`receive_port`; requests leave from the tool's address.
    explicit Tool(uint16_t receive_port = 12000, const char* receive_ip = "0.0.0.0")
        : m_receive(open(receive_ip, receive_port)), m_send(open(kToolAddress, 0)) {}
    ~Tool() {
        close(m_receive);
        close(m_send);
    }

    void send(const std::vector<unsigned char>& bytes, const char* to_ip = kBroadcast) const {
        const sockaddr_in to = address(to_ip, 13000);
        if (sendto(m_send, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
            throw std::runtime_error(std::string("sendto: ") + std::strerror(errno));
    }
    void request_devices(uint16_t server_port = 12000, const char* to_ip = kBroadcast) const {
        REQUEST_DEVICE_INFO request{};
        std::strcpy(request.server_ip, kToolAddress);
        request.server_port = server_port;
        request.connection_type = 2;
        MSG_REQUEST_DEVICE_INFO message;
        send(encode(message, kCmdRequestDeviceInfo, &request), to_ip);
    }
    void request_change(const NETWORK_INFO_REQUEST& request) const {
        MSG_NETWORK_INFO_REQUEST message;
        send(encode(message, kCmdNetworkInfoRequest, &request));
    }

    // The next datagram, or nullopt when none comes within `wait_ms` (a wait, never a verdict
    // on speed: callers only ask whether something arrived at all).
    std::optional<Datagram> receive(int64_t wait_ms = 10000) const {
        pollfd ready{m_receive, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(Clock::real_ms(wait_ms))) <= 0) return std::nullopt;
        unsigned char buffer[kRecvBufferSize];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got = recvfrom(m_receive, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0) return std::nullopt;
        return Datagram{inet_ntoa(from.sin_addr), ntohs(from.sin_port), {buffer, buffer + got}};
    }
    std::vector<Datagram> receive_many(size_t count, int64_t wait_ms = 10000) const {
        std::vector<Datagram> got;
        for (std::optional<Datagram> next; got.size() < count && (next = receive(wait_ms));) got.push_back(std::move(*next));
        return got;
    }
    // Whatever else is queued; used once the fleet has handled a request, to show that
    // nothing more was sent.
    std::vector<Datagram> drain() const { return receive_many(1000, 200); }

private:
    static sockaddr_in address(const char* ip, uint16_t port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        inet_pton(AF_INET, ip, &a.sin_addr);
        return a;
    }
    static int open(const char* ip, uint16_t port) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1, buffer = 4 << 20;  // room for a thousand replies
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        const sockaddr_in local = address(ip, port);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) throw std::runtime_error(std::strerror(errno));
        return fd;
    }
    static std::vector<unsigned char> encode(IXmlMessage& message, uint32_t command, const void* record) {
        unsigned char buffer[kSendBufferSize];
        const size_t length = encode_datagram(message, command, record, buffer);
        return {buffer, buffer + length};
    }

    int m_receive;
    int m_send;
};

} // namespace lab
