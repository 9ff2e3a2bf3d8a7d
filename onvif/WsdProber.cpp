#include "onvif/WsdProber.h"

#include "discovery/LocalAddresses.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"
#include "onvif/BoundedXml.h"

#include <arpa/inet.h>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace onvif {

namespace {

constexpr const char* kFile = "onvif";
constexpr int64_t kPauseSliceMs = 20;
constexpr int kReceiveBufferBytes = 1 << 20;

bool parse_ipv4(std::string_view text, uint32_t& out) {
    in_addr parsed{};
    if (inet_pton(AF_INET, std::string(text).c_str(), &parsed) != 1) return false;
    out = ntohl(parsed.s_addr);
    return true;
}

sockaddr_in endpoint(uint32_t address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    to.sin_port = htons(port);
    return to;
}

int open_udp(uint32_t address, uint16_t port, bool reuse) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    if (reuse) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
    const sockaddr_in local = endpoint(address, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        DEBUG_LOCATION(kFile, "WsdProber");
        debug_log("bind to port %u failed: %d\n", port, errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool parse_probe_range(std::string_view text, ProbeRange& out) {
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos) return false;
    ProbeRange range;
    if (!parse_ipv4(text.substr(0, dash), range.first) || !parse_ipv4(text.substr(dash + 1), range.last)) return false;
    if (range.first > range.last || range.last - range.first >= kMaxProbeRange) return false;
    out = range;
    return true;
}

WsdProber::WsdProber(ProberConfig config) : m_config(std::move(config)), m_table(m_config.camera_limit) {}

WsdProber::~WsdProber() {
    stop();
}

bool WsdProber::start() {
    std::vector<std::string> locals;
    if (m_config.local_addresses) {
        locals = m_config.local_addresses();
    } else if (!query_local_ipv4_addresses(locals)) {
        return false;
    }
    uint32_t group = 0;
    if (!parse_ipv4(m_config.group, group)) return false;

    m_listen_socket = open_udp(INADDR_ANY, m_config.port, true);
    for (const std::string& text : locals) {
        uint32_t local = 0;
        if (!parse_ipv4(text, local)) continue;
        const int fd = open_udp(local, 0, false);
        if (fd < 0) continue;
        // The group on this address's interface, one hop: cameras are on the LAN.
        const in_addr interface{htonl(local)};
        const int ttl = 1;
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &interface, sizeof interface);
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        m_probe_sockets.push_back(fd);
        if (m_listen_socket >= 0) {
            const ip_mreq membership{in_addr{htonl(group)}, interface};
            if (setsockopt(m_listen_socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) {
                DEBUG_LOCATION(kFile, "WsdProber::start");
                debug_log("joining the group on %s failed: %d\n", text.c_str(), errno);
            }
        }
    }
    if (!m_config.range.empty()) {
        // From the one chosen address, else wherever the routes lead (behind a router).
        uint32_t from = INADDR_ANY;
        if (locals.size() == 1) parse_ipv4(locals[0], from);
        m_range_socket = open_udp(from, 0, false);
    }
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_probe_sockets.empty() || m_wake < 0) {
        close_sockets();
        return false;
    }
    m_stop = false;
    m_probes_sent = false;
    m_receiver = std::thread([this] { receive(); });
    m_sender = std::thread([this] { send_probes(); });
    return true;
}

void WsdProber::stop() {
    m_stop = true;
    if (m_wake >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
    }
    if (m_sender.joinable()) m_sender.join();
    if (m_receiver.joinable()) m_receiver.join();
    close_sockets();
}

void WsdProber::close_sockets() {
    for (int fd : m_probe_sockets) ::close(fd);
    m_probe_sockets.clear();
    for (int* fd : {&m_range_socket, &m_listen_socket, &m_wake}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

std::vector<OnvifCamera> WsdProber::cameras() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_table.cameras();
}

bool WsdProber::pause(int64_t ms) const {
    for (int64_t left = ms; left > 0 && !m_stop; left -= kPauseSliceMs) Clock::sleep_ms(std::min(left, kPauseSliceMs));
    return !m_stop;
}

// Known before anything is sent, so that the fastest reply already relates to one of ours.
std::vector<std::string> WsdProber::fresh_ids() {
    std::vector<std::string> ids;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t i = 0; i < onvif_device_types().size(); ++i) {
        ids.push_back(new_message_id());
        m_table.add_probe_id(ids.back());
    }
    return ids;
}

void WsdProber::send_typed(int socket, const sockaddr_in& to, const std::vector<std::string>& ids) {
    const std::vector<QName> types = onvif_device_types();
    for (size_t i = 0; i < types.size() && i < ids.size(); ++i) {
        const std::string probe = build_probe(ids[i], {types[i]});
        if (sendto(socket, probe.data(), probe.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
            DEBUG_LOCATION(kFile, "WsdProber::send_typed");
            debug_log("probe to %08x failed: %d\n", ntohl(to.sin_addr.s_addr), errno);
        }
    }
}

void WsdProber::send_probes() {
    uint32_t group = 0;
    parse_ipv4(m_config.group, group);
    const sockaddr_in to_group = endpoint(group, m_config.port);
    // The second round is a retransmission against loss: the same messages, so a camera that
    // heard both answers once (SOAP over UDP drops a repeated MessageID).
    const std::vector<std::string> ids = fresh_ids();
    for (int round = 0; round < 2 && !m_stop; ++round) {
        if (round > 0 && !pause(m_config.repeat_gap_ms)) break;
        for (int fd : m_probe_sockets) send_typed(fd, to_group, ids);
    }
    if (m_range_socket >= 0) {
        const std::vector<std::string> range_ids = fresh_ids();
        const size_t burst = std::max<size_t>(m_config.range_burst, 1);
        for (uint64_t address = m_config.range.first; address <= m_config.range.last && !m_stop; ++address) {
            send_typed(m_range_socket, endpoint(static_cast<uint32_t>(address), m_config.port), range_ids);
            if ((address - m_config.range.first + 1) % burst == 0 && !pause(m_config.range_gap_ms)) break;
        }
    }
    m_probes_sent = true;
}

void WsdProber::receive() {
    std::vector<pollfd> fds;
    for (int fd : m_probe_sockets) fds.push_back({fd, POLLIN, 0});
    for (int fd : {m_range_socket, m_listen_socket, m_wake})
        if (fd >= 0) fds.push_back({fd, POLLIN, 0});
    while (!m_stop) {
        // No timeout: stop() wakes the poll through the eventfd.
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
        // A pending socket error is read (and so cleared) too, or poll would report it forever.
        for (const pollfd& p : fds)
            if ((p.revents & (POLLIN | POLLERR)) && p.fd != m_wake) read_datagram(p.fd);
    }
}

void WsdProber::read_datagram(int socket) {
    std::string buffer(kMaxDatagramBytes + 1, '\0');
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t received = recvfrom(socket, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&from), &length);
    if (received <= 0 || static_cast<size_t>(received) > kMaxDatagramBytes) return;  // too large to be read
    buffer.resize(static_cast<size_t>(received));
    WsdMessage message;
    if (parse_discovery(buffer, message) != WsdStatus::ok) return;
    char source[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, source, sizeof source);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_table.take(message, source);
}

} // namespace onvif
