#include "sim/onvif/WsDiscoveryResponder.h"

#include "foundation/Clock.h"
#include "foundation/debug_log.h"
#include "onvif/BoundedXml.h"
#include "onvif/WsDiscovery.h"
#include "sim/CameraSide.h"
#include "sim/onvif/OnvifIdentity.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr uint64_t kSocketTag = 1;
constexpr uint64_t kWakeTag = 2;
constexpr int kDatagramsPerWakeup = 64;

uint32_t group_address() {
    return parse_ipv4(WsDiscoveryResponder::kGroup).value_or(0);
}

sockaddr_in to_sockaddr(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.address);
    address.sin_port = htons(endpoint.port);
    return address;
}

// A probe's types must all be the camera's (ONVIF devices are tds:Device and
// dn:NetworkVideoTransmitter); its scopes must each prefix one of the camera's.
bool probe_matches(const onvif::WsdEndpoint& probe, const onvif::WsdEndpoint& camera) {
    for (const onvif::QName& wanted : probe.types)
        if (std::find(camera.types.begin(), camera.types.end(), wanted) == camera.types.end()) return false;
    for (const std::string& scope : probe.scopes)
        if (std::none_of(camera.scopes.begin(), camera.scopes.end(), [&](const std::string& s) { return s.rfind(scope, 0) == 0; }))
            return false;
    return true;
}

} // namespace

WsDiscoveryResponder::WsDiscoveryResponder(const FleetConfig& config, std::vector<SimCamera*> cameras)
    : m_config(config), m_cameras(std::move(cameras)), m_message_numbers(m_cameras.size(), 0), m_events(std::make_shared<Events>()) {
    m_config.cameras.clear();
    for (size_t i = 0; i < m_cameras.size(); ++i) {
        SimCamera* camera = m_cameras[i];
        const auto queue = [events = m_events, camera, i](Kind kind) {
            std::lock_guard<std::mutex> lock(events->mutex);
            if (events->wake_fd < 0) return;
            events->list.push_back(Pending{kind, i, {}, {}, camera->current().ip_address});
            const uint64_t one = 1;
            if (::write(events->wake_fd, &one, sizeof one) < 0) return;  // already awake
        };
        camera->add_online_observer(std::make_shared<const std::function<void()>>([queue] { queue(Kind::hello); }));
        camera->add_offline_observer(std::make_shared<const std::function<void()>>([queue] { queue(Kind::bye); }));
    }
}

WsDiscoveryResponder::~WsDiscoveryResponder() { stop(); }

bool WsDiscoveryResponder::start() {
    if (m_thread.joinable()) return true;
    m_stopping = false;
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    {
        const CameraSide side;
        m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    }
    int one = 1;
    const sockaddr_in local = to_sockaddr(Endpoint{0, kPort});
    ip_mreqn join{};
    join.imr_multiaddr.s_addr = htonl(group_address());
    // No interface named: the kernel takes the one its route to the group goes out of, the
    // lab's link on the cameras' side.
    const unsigned char ttl = 1;
    if (m_epoll < 0 || m_wake < 0 || m_socket < 0 || ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::setsockopt(m_socket, IPPROTO_IP, IP_PKTINFO, &one, sizeof one) != 0 ||
        ::bind(m_socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::setsockopt(m_socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0 ||
        ::setsockopt(m_socket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0) {
        debug_log("[sim] WS-Discovery: cannot take UDP %u and join %s: %s\n", unsigned{kPort}, kGroup, std::strerror(errno));
        stop();
        return false;
    }
    for (const auto& [fd, tag] : {std::pair{m_socket, kSocketTag}, std::pair{m_wake, kWakeTag}}) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = tag;
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
    }
    m_instance_base = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());
    m_random = (static_cast<uint64_t>(m_instance_base) << 20) ^ reinterpret_cast<uintptr_t>(this);
    {
        std::lock_guard<std::mutex> lock(m_events->mutex);
        m_events->wake_fd = m_wake;
    }
    for (size_t i = 0; i < m_cameras.size(); ++i)
        if (m_cameras[i]->online()) schedule(random_delay(), Pending{Kind::hello, i, {}, {}, m_cameras[i]->current().ip_address});
    m_thread = std::thread(&WsDiscoveryResponder::run, this);
    return true;
}

void WsDiscoveryResponder::stop() {
    if (m_thread.joinable()) {
        m_stopping = true;
        const uint64_t one = 1;
        if (::write(m_wake, &one, sizeof one) < 0) debug_log("[sim] WS-Discovery: cannot wake its thread\n");
        m_thread.join();
    }
    {
        std::lock_guard<std::mutex> lock(m_events->mutex);
        m_events->wake_fd = -1;
        m_events->list.clear();
    }
    for (int* fd : {&m_socket, &m_epoll, &m_wake})
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    m_pending.clear();
    m_budget.clear();
}

WsDiscoveryResponder::Stats WsDiscoveryResponder::stats() const {
    return Stats{m_probes.load(), m_unanswered.load(), m_ignored.load(), m_matches.load(), m_hellos.load(), m_byes.load(), m_failures.load()};
}

int64_t WsDiscoveryResponder::random_delay() {
    uint64_t z = (m_random += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<int64_t>((z ^ (z >> 31)) % static_cast<uint64_t>(kMaxDelayMs));
}

void WsDiscoveryResponder::schedule(int64_t delay_ms, Pending pending) {
    if (m_pending.size() >= kMaxPending) return;
    m_pending.emplace(Clock::now_ms() + delay_ms, std::move(pending));
}

void WsDiscoveryResponder::run() {
    epoll_event events[4];
    while (!m_stopping) {
        int timeout = -1;
        if (!m_pending.empty()) {
            const int64_t left = m_pending.begin()->first - Clock::now_ms();
            timeout = left <= 0 ? 0 : static_cast<int>(std::clamp<int64_t>(Clock::real_ms(left), 1, INT_MAX));
        }
        const int ready = epoll_wait(m_epoll, events, 4, timeout);
        if (ready < 0 && errno != EINTR) {
            debug_log("[sim] WS-Discovery: wait failed: %s\n", std::strerror(errno));
            break;
        }
        for (int i = 0; i < ready; ++i) {
            if (events[i].data.u64 == kSocketTag) receive();
            else {
                uint64_t count = 0;
                if (::read(m_wake, &count, sizeof count) < 0) continue;
            }
        }
        take_events();
        send_due();
    }
}

// Bye at once, before the camera's silence; Hello after a random delay, as at the start.
void WsDiscoveryResponder::take_events() {
    std::vector<Pending> list;
    {
        std::lock_guard<std::mutex> lock(m_events->mutex);
        list.swap(m_events->list);
    }
    for (Pending& event : list) schedule(event.kind == Kind::bye ? 0 : random_delay(), std::move(event));
}

void WsDiscoveryResponder::receive() {
    char buffer[onvif::kMaxDatagramBytes];
    for (int i = 0; i < kDatagramsPerWakeup; ++i) {
        sockaddr_in from{};
        iovec io{buffer, sizeof buffer};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(m_socket, &message, MSG_DONTWAIT);
        if (got < 0) return;
        uint32_t destination = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                destination = ntohl(info.ipi_addr.s_addr);
            }
        if (message.msg_flags & MSG_TRUNC) {
            ++m_ignored;
            continue;
        }
        handle(buffer, static_cast<size_t>(got), Endpoint{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)}, destination);
    }
}

void WsDiscoveryResponder::handle(const char* data, size_t length, const Endpoint& from, uint32_t destination) {
    onvif::WsdMessage message;
    if (onvif::parse_discovery(std::string_view(data, length), message) != onvif::WsdStatus::ok || message.kind != onvif::WsdKind::probe ||
        from.port == 0) {
        ++m_ignored;  // our own Hello and Bye come back here too
        return;
    }
    ++m_probes;
    const bool multicast = destination == group_address();
    const std::string key = message.message_id + ' ' + std::to_string(destination);
    if (!message.message_id.empty()) {
        if (!m_probes_seen.insert(key).second) return;  // a retransmission: answered already
        m_probe_order.push_back(key);
        if (m_probe_order.size() > kProbesRemembered) {
            m_probes_seen.erase(m_probe_order.front());
            m_probe_order.pop_front();
        }
    }
    if (multicast && !m_budget.take(from.address, Clock::now_ms())) {
        ++m_unanswered;
        return;
    }
    const onvif::WsdEndpoint probe = message.endpoints.empty() ? onvif::WsdEndpoint{} : message.endpoints.front();
    for (size_t i = 0; i < m_cameras.size(); ++i) {
        SimCamera& camera = *m_cameras[i];
        if (!camera.online()) continue;
        const CameraConfig current = camera.current();
        const OnvifSide& side = current.device.onvif;
        if (!speaks_onvif(side.protocols)) continue;
        if (multicast ? side.faults.silent_to_multicast : parse_ipv4(current.ip_address).value_or(0) != destination) continue;
        if (!probe_matches(probe, wsd_endpoint(current))) continue;
        schedule(random_delay(), Pending{Kind::match, i, from, message.message_id, current.ip_address});
    }
}

void WsDiscoveryResponder::send_due() {
    const int64_t now = Clock::now_ms();
    while (!m_pending.empty() && m_pending.begin()->first <= now) {
        const Pending pending = std::move(m_pending.begin()->second);
        m_pending.erase(m_pending.begin());
        send(pending);
    }
}

void WsDiscoveryResponder::send(const Pending& pending) {
    SimCamera& camera = *m_cameras[pending.camera];
    const CameraConfig current = camera.current();
    if (!speaks_onvif(current.device.onvif.protocols)) return;
    // A match or Hello from a camera that has gone down meanwhile stays unsaid.
    if (pending.kind != Kind::bye && !camera.online()) return;
    const onvif::WsdEndpoint endpoint = wsd_endpoint(current);
    // A Bye ends the start it belongs to; the camera has counted the next one already.
    const uint64_t boot = camera.device_state().boot - (pending.kind == Kind::bye ? 1 : 0);
    const onvif::AppSequence sequence{m_instance_base + static_cast<uint32_t>(boot), ++m_message_numbers[pending.camera]};
    const std::string id = onvif::new_message_id();
    std::string text;
    Endpoint to = pending.to;
    switch (pending.kind) {
    case Kind::match: text = onvif::build_probe_matches(id, pending.relates_to, sequence, {endpoint}); break;
    case Kind::hello: text = onvif::build_hello(id, sequence, endpoint); break;
    case Kind::bye: text = onvif::build_bye(id, sequence, endpoint); break;
    }
    if (pending.kind != Kind::match) to = Endpoint{group_address(), kPort};
    const std::string& from_ip = pending.kind == Kind::match ? current.ip_address : pending.from_ip;

    sockaddr_in destination = to_sockaddr(to);
    iovec io{text.data(), text.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))]{};
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(parse_ipv4(from_ip).value_or(0));  // from the camera's own address
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    if (::sendmsg(m_socket, &message, MSG_NOSIGNAL) < 0) {
        ++m_failures;
        return;
    }
    switch (pending.kind) {
    case Kind::match: ++m_matches; break;
    case Kind::hello: ++m_hellos; break;
    case Kind::bye: ++m_byes; break;
    }
}
