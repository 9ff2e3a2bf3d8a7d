#pragma once
// Discovery datagrams on raw sockets inside the network lab (scripts/netlab.sh), where the tool
// owns 10.77.0.1 and any other 10.77.x.y can be bound on the camera LAN: the tool's side, to
// test the simulated cameras without the discovery engine, and a camera's side, to test the
// engine without them.
#include "discovery/DiscoveryHeader.h"
#include "discovery/DiscoveryMessages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lab {

constexpr const char* kToolAddress = "10.77.0.1";
constexpr const char* kBroadcast = "255.255.255.255";
constexpr uint16_t kToolPort = 12000;
constexpr uint16_t kDevicePort = 13000;

using Bytes = std::vector<unsigned char>;

// A header of our own making around any payload.
Bytes datagram(uint32_t command, std::string_view payload);
// A record as its message sends it.
Bytes encode(IXmlMessage& message, uint32_t command, const void* record);
Bytes reply_datagram(const DEV_INFO& device, uint32_t command = kCmdDevInfoReply);
NETWORK_INFO_REQUEST change_request(const std::string& mac, const std::string& ip, const std::string& mask = "",
                                    const std::string& gateway = "");

struct Datagram {
    std::string source_ip;
    uint16_t source_port = 0;
    Bytes bytes;

    DiscoveryHeader header() const;
    uint32_t command() const { return header().command(); }
    std::string payload() const;
    // The payload as the receiving side decodes it; nullopt when that side would refuse it.
    template <class Message, class Record>
    std::optional<Record> decode() const {
        Record record{};
        Message message;
        if (message.ToMe(payload(), &record, sizeof record) != 0) return std::nullopt;
        return record;
    }
    std::optional<DEV_INFO> device() const { return decode<MSG_DEV_INFO_REPLY, DEV_INFO>(); }
};

// Which host of the lab a socket belongs to: the tool's (10.77.0.1) or the camera LAN beyond it.
enum class Side { tool, camera };

// A UDP socket bound to ip:port (0: any port) that may broadcast and has room for a thousand
// replies. Throws when it cannot be bound or a send fails. Without a side, the tool's address
// and the wildcard are the tool's, any other address is a host on the camera LAN.
class Socket {
public:
    Socket(const std::string& ip, uint16_t port);
    Socket(const std::string& ip, uint16_t port, Side side);
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // The first `size` bytes, all of them by default.
    void send(const Bytes& bytes, const std::string& to_ip, uint16_t to_port, size_t size = SIZE_MAX) const;
    // The next datagram, or nullopt when none comes within `wait_ms` system ms (a wait, never a
    // verdict on speed: callers only ask whether something arrived at all).
    std::optional<Datagram> receive(int64_t wait_ms) const;

private:
    int m_fd;
};

// The tool: receives on receive_ip:receive_port; requests leave from the tool's address.
class Tool {
public:
    explicit Tool(uint16_t receive_port = kToolPort, const char* receive_ip = "0.0.0.0")
        : m_receive(receive_ip, receive_port), m_send(kToolAddress, 0) {}

    void send(const Bytes& bytes, const char* to_ip = kBroadcast) const { m_send.send(bytes, to_ip, kDevicePort); }
    void request_devices(uint16_t server_port = kToolPort, const char* to_ip = kBroadcast) const;
    void request_change(const NETWORK_INFO_REQUEST& request) const;

    std::optional<Datagram> receive(int64_t wait_ms = 10000) const { return m_receive.receive(wait_ms); }
    std::vector<Datagram> receive_many(size_t count, int64_t wait_ms = 10000) const;
    // Whatever else is queued; used once the fleet has handled a request, to show that
    // nothing more was sent.
    std::vector<Datagram> drain() const { return receive_many(1000, 200); }

private:
    Socket m_receive;
    Socket m_send;
};

// A camera that sends exact bytes from its own address and hears the tool's broadcasts on the
// camera port (a socket bound to one address would not receive them).
class FakeCamera {
public:
    explicit FakeCamera(const std::string& address) : m_listen("0.0.0.0", kDevicePort, Side::camera), m_send(address, 0) {}

    void send_raw(const Bytes& bytes, size_t size = SIZE_MAX, const std::string& to = kToolAddress) const {
        m_send.send(bytes, to, kToolPort, size);
    }
    void reply(const DEV_INFO& device, const std::string& to = kToolAddress) const {
        send_raw(reply_datagram(device), SIZE_MAX, to);
    }
    // The next datagram heard with this command; others are skipped.
    std::optional<Datagram> receive(uint32_t command) const;

private:
    Socket m_listen;
    Socket m_send;
};

} // namespace lab
