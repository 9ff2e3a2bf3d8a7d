#include "discovery/PrivateDiscover.h"

#include "discovery/DiscoveryHeader.h"
#include "discovery/DiscoveryMessages.h"
#include "foundation/Clock.h"
#include "foundation/ResultCodes.h"
#include "foundation/debug_log.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr const char* kFile = "Discovery";
constexpr int kReceiveBufferBytes = 1048576;
constexpr int64_t kRequestPauseMs = 200;
constexpr int32_t kConnectionType = 2;

// A text that does not parse gives the all-ones address, on which a later bind fails.
sockaddr_in ipv4_endpoint(const std::string& address, uint16_t port) {
    sockaddr_in endpoint{};
    endpoint.sin_family = AF_INET;
    endpoint.sin_port = htons(port);
    if (address.empty())
        endpoint.sin_addr.s_addr = htonl(INADDR_ANY);
    else if (inet_pton(AF_INET, address.c_str(), &endpoint.sin_addr) != 1)
        endpoint.sin_addr.s_addr = htonl(INADDR_NONE);
    return endpoint;
}

const sockaddr* as_sockaddr(const sockaddr_in& endpoint) {
    return reinterpret_cast<const sockaddr*>(&endpoint);
}

bool enable(int socket, int option) {
    int on = 1;
    return setsockopt(socket, SOL_SOCKET, option, &on, sizeof on) == 0;
}

void copy_text(char (&field)[kDiscoveryTextSize], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

int clamp_to_int(uint64_t value) {
    return value > static_cast<uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

} // namespace

private_discover::private_discover(DiscoveryConfig config) : m_config(std::move(config)) {}

private_discover::~private_discover() {
    // The receiver blocks in recvfrom; only stop() can wake it before the threads are joined.
    if (m_sender.IsRunning() || m_receiver.IsRunning() || m_socket >= 0) stop();
}

uint32_t private_discover::start(int32_t interval_ms) {
    init();
    uint32_t rc = create_socket(&m_socket);
    if (rc != RC_OK) {
        DEBUG_LOCATION(kFile, "private_discover::start");
        return rc;
    }
    rc = m_receiver.Start(this, 0, 0);
    if (rc != RC_OK) {
        DEBUG_LOCATION(kFile, "private_discover::start");
        close_socket(&m_socket);
        return rc;
    }
    rc = m_sender.Start(this, 1, interval_ms);
    if (rc != RC_OK) {
        DEBUG_LOCATION(kFile, "private_discover::start");
        stop();
        return rc;
    }
    return RC_OK;
}

uint32_t private_discover::stop() {
    m_sender.Stop();
    // close() does not wake a thread blocked in recvfrom on Linux; shutdown() does, making
    // the call return 0 (it also reports ENOTCONN for an unconnected socket, which is
    // expected). The descriptor is closed only once the receiver has been joined, so that
    // its number cannot be reused under a receive still in progress.
    if (m_socket >= 0) shutdown(m_socket, SHUT_RDWR);
    m_receiver.Stop();
    close_socket(&m_socket);
    return RC_OK;
}

uint32_t private_discover::set_discovery_cb(DiscoveryCB callback, void* context) {
    if (!callback) {
        DEBUG_LOCATION(kFile, "private_discover::set_discovery_cb");
        return RC_ARG_MISSING;
    }
    m_context.store(context);
    m_callback.store(callback);
    return RC_OK;
}

uint32_t private_discover::refresh(const char* address) {
    if (address) {
        DEBUG_LOCATION(kFile, "private_discover::refresh");
        debug_log("bind refresh_ip = %s\n", address);
        std::lock_guard<std::mutex> lock(m_refresh_mutex);
        m_refresh_address.assign(address, strnlen(address, 15));
    }
    send_request_to_all();
    return RC_OK;
}

std::string private_discover::refresh_address() const {
    std::lock_guard<std::mutex> lock(m_refresh_mutex);
    return m_refresh_address;
}

uint32_t private_discover::init() {
    m_local_addresses.clear();
    get_host_ip();
    return RC_OK;
}

uint32_t private_discover::get_host_ip() {
    std::vector<std::string> found;
    bool ok = true;
    if (m_config.local_addresses) {
        found = m_config.local_addresses();
        ok = found.size() <= static_cast<size_t>(kMaxLocalAddresses);
    } else {
        ok = query_local_ipv4_addresses(found);
    }
    if (!ok) {
        DEBUG_LOCATION(kFile, "private_discover::get_host_ip");
        return RC_FAIL;
    }
    m_local_addresses.clear();
    for (const std::string& address : found) {
        std::string text = address.substr(0, kDiscoveryTextSize - 1);
        if (text == "127.0.0.1") continue;
        if (std::find(m_local_addresses.begin(), m_local_addresses.end(), text) != m_local_addresses.end()) continue;
        m_local_addresses.push_back(std::move(text));
    }
    return RC_OK;
}

uint32_t private_discover::create_socket(int* socket_slot) {
    if (!socket_slot || *socket_slot >= 0) {
        DEBUG_LOCATION(kFile, "private_discover::create_socket");
        return RC_FAIL;
    }
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        DEBUG_LOCATION(kFile, "private_discover::create_socket");
        debug_log("create udp socket failed\n");
        return RC_FAIL;
    }
    if (!enable(s, SO_REUSEADDR)) {
        DEBUG_LOCATION(kFile, "private_discover::create_socket");
        debug_log("setsockopt error\n");
        close(s);
        return RC_FAIL;
    }
    int size = kReceiveBufferBytes;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    if (!enable(s, SO_BROADCAST)) {
        DEBUG_LOCATION(kFile, "private_discover::create_socket");
        debug_log("setsockopt error\n");
        close(s);
        return RC_FAIL;
    }
    sockaddr_in local = ipv4_endpoint("", m_config.recv_port);
    if (bind(s, as_sockaddr(local), sizeof local) != 0) {
        DEBUG_LOCATION(kFile, "private_discover::create_socket");
        debug_log("bind prepare for receiving error\n");
        close(s);
        return RC_FAIL;
    }
    *socket_slot = s;
    return RC_OK;
}

uint32_t private_discover::close_socket(int* socket_slot) {
    if (socket_slot && *socket_slot >= 0) {
        close(*socket_slot);
        *socket_slot = -1;
    }
    return RC_OK;
}

// A request socket shares the receive port with the receive socket, hence address reuse.
// Linux hands a unicast datagram to the most specifically bound socket, so a reply sent to
// bind_address:recv_port would land here and be lost. A connected UDP socket only accepts
// datagrams from its peer, and no reply comes from the broadcast address: connecting it
// leaves every reply to the receive socket. Returns -1 on failure, after logging.
int private_discover::open_request_socket(const std::string& bind_address, bool* connected) {
    *connected = false;
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        DEBUG_LOCATION(kFile, "private_discover::send_request_to_all");
        debug_log("create a sending socket fail\n");
        return -1;
    }
    if (!enable(s, SO_BROADCAST) || !enable(s, SO_REUSEADDR)) {
        DEBUG_LOCATION(kFile, "private_discover::send_request_to_all");
        debug_log("setsockopt error\n");
        close(s);
        return -1;
    }
    sockaddr_in local = ipv4_endpoint(bind_address, m_config.recv_port);
    if (bind(s, as_sockaddr(local), sizeof local) != 0) {
        DEBUG_LOCATION(kFile, "private_discover::send_request_to_all");
        debug_log("bind prepare for receiving error\n");
        close(s);
        return -1;
    }
    sockaddr_in peer = ipv4_endpoint(m_config.broadcast_address, m_config.device_port);
    if (connect(s, as_sockaddr(peer), sizeof peer) == 0) {
        *connected = true;
        // Replies that came between bind and connect wait in this socket's queue.
        drain_request_socket(s);
    } else {
        // Sending still works unconnected; only replies during the sweep are at risk.
        DEBUG_LOCATION(kFile, "private_discover::send_request_to_all");
        debug_log("connect to %s:%d failed, error_code = %d\n", m_config.broadcast_address.c_str(),
                  m_config.device_port, errno);
    }
    return s;
}

// Hands what a request socket took in to the normal reception path, so that it is not lost
// when the socket closes.
void private_discover::drain_request_socket(int socket) {
    unsigned char buffer[kRecvBufferSize];
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        sockaddr_in from{};
        socklen_t from_length = sizeof from;
        ssize_t received = recvfrom(socket, buffer, sizeof buffer, MSG_DONTWAIT,
                                    reinterpret_cast<sockaddr*>(&from), &from_length);
        if (received < 0 || from_length == 0) return;
        char source[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, source, sizeof source);
        handle_packet(source, buffer, static_cast<size_t>(received));
    }
}

void private_discover::send_request(int socket, bool connected, const std::string& server_ip) {
    REQUEST_DEVICE_INFO request{};
    copy_text(request.server_ip, server_ip);
    request.server_port = m_config.recv_port;
    request.connection_type = kConnectionType;

    unsigned char buffer[kSendBufferSize] = {};
    MSG_REQUEST_DEVICE_INFO message;
    size_t length = encode_datagram(message, kCmdRequestDeviceInfo, &request, buffer);
    if (length == 0) {
        DEBUG_LOCATION(kFile, "private_discover::send_request_to_all");
        debug_log("the udp data is too long to send\n");
        return;
    }
    ssize_t sent;
    if (connected) {
        sent = send(socket, buffer, length, 0);
    } else {
        sockaddr_in peer = ipv4_endpoint(m_config.broadcast_address, m_config.device_port);
        sent = sendto(socket, buffer, length, 0, as_sockaddr(peer), sizeof peer);
    }
    if (sent < 1) {
        DEBUG_LOCATION(kFile, "private_discover::send_request_to_all");
        debug_log("send fail:[%d, %d], error_code = %d\n", static_cast<int>(sent),
                  static_cast<int>(length - kDiscoveryHeaderSize), errno);
    }
    Clock::sleep_ms(kRequestPauseMs);
}

uint32_t private_discover::send_request_to_all() {
    m_last_sweep_ms = Clock::now_ms();
    const std::string refresh = refresh_address();
    DEBUG_LOCATION(kFile, "private_discover::send_request_to_all");
    debug_log("create_socket = %s\n", refresh.c_str());

    if (!refresh.empty()) {
        bool connected = false;
        int s = open_request_socket(refresh, &connected);
        if (s < 0) return RC_FAIL;
        for (const std::string& address : m_local_addresses) send_request(s, connected, address);
        drain_request_socket(s);
        close(s);
        return RC_OK;
    }

    DEBUG_LOCATION(kFile, "private_discover::send_request_to_all");
    debug_log("no ip\n");
    // Without a refresh address each request leaves from the local address it names. On
    // Linux a socket bound to any address cannot broadcast without a default route, and
    // bound to any address on the receive port it would also take unicast replies away
    // from the receive socket.
    for (const std::string& address : m_local_addresses) {
        bool connected = false;
        int s = open_request_socket(address, &connected);
        if (s < 0) return RC_FAIL;
        send_request(s, connected, address);
        drain_request_socket(s);
        close(s);
    }
    return RC_OK;
}

uint32_t private_discover::send_change_ip_request(const NETWORK_INFO_REQUEST& request) {
    unsigned char buffer[kSendBufferSize] = {};
    MSG_NETWORK_INFO_REQUEST message;
    size_t length = encode_datagram(message, kCmdNetworkInfoRequest, &request, buffer);
    if (length == 0) {
        DEBUG_LOCATION(kFile, "private_discover::send_change_ip_request");
        debug_log("the udp data is too long to send\n");
        return RC_FAIL;
    }

    // On Linux a broadcast from an unbound socket needs a default route (ENETUNREACH
    // otherwise), so the request leaves from the refresh address, or one copy from each
    // local address; only with neither does the platform choose.
    std::vector<std::string> sources;
    if (std::string refresh = refresh_address(); !refresh.empty())
        sources.push_back(refresh);
    else
        sources = m_local_addresses;
    if (sources.empty()) sources.emplace_back();

    const sockaddr_in peer = ipv4_endpoint(m_config.broadcast_address, m_config.device_port);
    for (const std::string& source : sources) {
        int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (s < 0) {
            DEBUG_LOCATION(kFile, "private_discover::send_change_ip_request");
            debug_log("create a sending socket fail\n");
            return RC_FAIL;
        }
        if (!enable(s, SO_BROADCAST)) {
            DEBUG_LOCATION(kFile, "private_discover::send_change_ip_request");
            debug_log("setsockopt error\n");
            close(s);
            return RC_FAIL;
        }
        if (!source.empty()) {
            sockaddr_in local = ipv4_endpoint(source, 0);
            if (bind(s, as_sockaddr(local), sizeof local) != 0) {
                DEBUG_LOCATION(kFile, "private_discover::send_change_ip_request");
                debug_log("bind %s for sending failed, error_code = %d\n", source.c_str(), errno);
                close(s);
                continue;
            }
        }
        ssize_t sent = sendto(s, buffer, length, 0, as_sockaddr(peer), sizeof peer);
        if (sent < 1) {
            DEBUG_LOCATION(kFile, "private_discover::send_change_ip_request");
            debug_log("send fail:[%d, %d], error_code = %d\n", static_cast<int>(sent),
                      static_cast<int>(length - kDiscoveryHeaderSize), errno);
        }
        close(s);
    }
    return RC_OK;
}

uint32_t private_discover::ThreadFunc(uint32_t argument) {
    return argument != 0 ? send_request_to_all() : recv_packet(m_socket);
}

uint32_t private_discover::recv_packet(int socket) {
    unsigned char buffer[kRecvBufferSize] = {};
    sockaddr_in from{};
    socklen_t from_length = sizeof from;
    ssize_t received;
    do {
        from_length = sizeof from;
        received = recvfrom(socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &from_length);
    } while (received < 0 && errno == EINTR);

    // A shut-down socket returns 0 with no source; an empty datagram has a source and is
    // merely a short datagram, which must not end reception.
    if (received < 0 || (received == 0 && from_length == 0)) {
        DEBUG_LOCATION(kFile, "private_discover::recv_packet");
        debug_log("recvfrom error\n");
        return RC_FAIL;
    }
    char source[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, source, sizeof source);
    handle_packet(source, buffer, static_cast<size_t>(received));
    return RC_OK;
}

uint32_t private_discover::handle_packet(const char* source_address, const unsigned char* datagram, size_t received) {
    if (!datagram) {
        DEBUG_LOCATION(kFile, "private_discover::handle_packet");
        return RC_ARG_MISSING;
    }
    // The header is only read from bytes that were received. These checks are the receiver's
    // (recv_packet's) own, split off so that the fuzz target reaches them; they keep its name.
    if (received < kDiscoveryHeaderSize) {
        DEBUG_LOCATION(kFile, "private_discover::recv_packet");
        debug_log("received data size is not enough, bytes = %d should recevied %d\n", static_cast<int>(received),
                  static_cast<int>(kDiscoveryHeaderSize));
        return RC_OK;
    }
    DiscoveryHeader header;
    std::memcpy(&header, datagram, sizeof header);
    header.to_host();
    if (header.magic() != kDiscoveryMagic) {
        DEBUG_LOCATION(kFile, "private_discover::recv_packet");
        debug_log("magic number error please check [0x%x]\n", header.magic());
        return RC_OK;
    }
    const uint64_t expected = kDiscoveryHeaderSize + static_cast<uint64_t>(header.payload_length());
    if (received < expected) {
        DEBUG_LOCATION(kFile, "private_discover::recv_packet");
        debug_log("received data size is not enough, bytes = %d should recevied %d\n", clamp_to_int(received),
                  clamp_to_int(expected));
        return RC_OK;
    }
    if (received > expected) {
        DEBUG_LOCATION(kFile, "private_discover::recv_packet");
        debug_log("recv bad packet, recv = %d ", clamp_to_int(received));
    }
    if (header.command() != kCmdDevInfoReply) {
        DEBUG_LOCATION(kFile, "private_discover::handle_packet");
        debug_log("Unhandled command id [%d]\n", static_cast<int>(header.command()));
        return RC_OK;
    }
    // The payload length is bounded by the received bytes, so the decoder never reads past them.
    update_device(source_address, reinterpret_cast<const char*>(datagram + kDiscoveryHeaderSize),
                  static_cast<int>(header.payload_length()));
    return RC_OK;
}

uint32_t private_discover::update_device(const char* source_address, const char* payload, int length) {
    if (!payload || length <= 0) {
        DEBUG_LOCATION(kFile, "private_discover::update_device");
        return RC_ARG_MISSING;
    }
    DEV_INFO record{};
    MSG_DEV_INFO_REPLY message;
    if (message.ToMe(std::string_view(payload, static_cast<size_t>(length)), &record, sizeof record) != RC_OK) {
        DEBUG_LOCATION(kFile, "private_discover::update_device");
        debug_log("undecodable reply from %s dropped\n", source_address ? source_address : "");
        return RC_FAIL;
    }
    DiscoveryCB callback = m_callback.load();
    if (!callback) return RC_OK;

    const std::string source = source_address ? source_address : "";
    if (source != std::string_view(record.ip_address, strnlen(record.ip_address, sizeof record.ip_address))) {
        DEBUG_LOCATION(kFile, "private_discover::update_device");
        debug_log("set dev ip = %s to src ip %s\n", record.ip_address, source.c_str());
        copy_text(record.ip_address, source);
    } else {
        DEBUG_LOCATION(kFile, "private_discover::update_device");
        debug_log("dev ip = %s \n", record.ip_address);
    }
    callback(&record, 1, m_context.load());
    return RC_OK;
}
