#include "support/LabSocket.h"

#include "sim/CameraSide.h"

#include "foundation/Clock.h"
#include "support/DeviceRecord.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace lab {

namespace {

sockaddr_in endpoint(const std::string& ip, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
    return a;
}

} // namespace

Bytes datagram(uint32_t command, std::string_view payload) {
    DiscoveryHeader header{};
    header.word[0] = kDiscoveryMagic;
    header.word[2] = command;
    header.word[7] = static_cast<uint32_t>(payload.size());
    header.to_network();
    Bytes bytes(sizeof header + payload.size());
    std::memcpy(bytes.data(), &header, sizeof header);
    std::copy(payload.begin(), payload.end(), bytes.begin() + sizeof header);
    return bytes;
}

Bytes encode(IXmlMessage& message, uint32_t command, const void* record) {
    unsigned char buffer[kSendBufferSize];
    const size_t length = encode_datagram(message, command, record, buffer);
    return {buffer, buffer + length};
}

Bytes reply_datagram(const DEV_INFO& device, uint32_t command) {
    MSG_DEV_INFO_REPLY message;
    return encode(message, command, &device);
}

NETWORK_INFO_REQUEST change_request(const std::string& mac, const std::string& ip, const std::string& mask,
                                    const std::string& gateway) {
    NETWORK_INFO_REQUEST request{};
    set_text(request.dev_mac, mac);
    set_text(request.new_dev_ip, ip);
    set_text(request.new_dev_submask, mask);
    set_text(request.new_dev_gateway, gateway);
    return request;
}

DiscoveryHeader Datagram::header() const {
    DiscoveryHeader h{};
    std::memcpy(&h, bytes.data(), std::min(bytes.size(), sizeof h));
    h.to_host();
    return h;
}

std::string Datagram::payload() const {
    return bytes.size() < kDiscoveryHeaderSize ? std::string() : std::string(bytes.begin() + kDiscoveryHeaderSize, bytes.end());
}

namespace {

int open_socket(Side side) {
    if (side == Side::tool) return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const CameraSide cameras;
    return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

} // namespace

Socket::Socket(const std::string& ip, uint16_t port)
    : Socket(ip, port, ip == kToolAddress || ip == "0.0.0.0" ? Side::tool : Side::camera) {}

Socket::Socket(const std::string& ip, uint16_t port, Side side) : m_fd(open_socket(side)) {
    const int on = 1, buffer = 4 << 20;
    setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    const sockaddr_in local = endpoint(ip, port);
    if (bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(m_fd);
        throw std::runtime_error("bind " + ip + ":" + std::to_string(port) + ": " + reason);
    }
}

Socket::~Socket() { ::close(m_fd); }

void Socket::send(const Bytes& bytes, const std::string& to_ip, uint16_t to_port, size_t size) const {
    const sockaddr_in to = endpoint(to_ip, to_port);
    if (sendto(m_fd, bytes.data(), std::min(size, bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
        throw std::runtime_error(std::string("sendto: ") + std::strerror(errno));
}

std::optional<Datagram> Socket::receive(int64_t wait_ms) const {
    pollfd ready{m_fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(Clock::real_ms(wait_ms))) <= 0) return std::nullopt;
    unsigned char buffer[4096];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t got = recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (got < 0) return std::nullopt;
    return Datagram{inet_ntoa(from.sin_addr), ntohs(from.sin_port), {buffer, buffer + got}};
}

void Tool::request_devices(uint16_t server_port, const char* to_ip) const {
    REQUEST_DEVICE_INFO request{};
    set_text(request.server_ip, kToolAddress);
    request.server_port = server_port;
    request.connection_type = 2;
    MSG_REQUEST_DEVICE_INFO message;
    send(encode(message, kCmdRequestDeviceInfo, &request), to_ip);
}

void Tool::request_change(const NETWORK_INFO_REQUEST& request) const {
    MSG_NETWORK_INFO_REQUEST message;
    send(encode(message, kCmdNetworkInfoRequest, &request));
}

std::vector<Datagram> Tool::receive_many(size_t count, int64_t wait_ms) const {
    std::vector<Datagram> got;
    for (std::optional<Datagram> next; got.size() < count && (next = receive(wait_ms));) got.push_back(std::move(*next));
    return got;
}

std::optional<Datagram> FakeCamera::receive(uint32_t command) const {
    for (;;) {
        std::optional<Datagram> next = m_listen.receive(60000);
        if (!next || next->command() == command) return next;
    }
}

} // namespace lab
