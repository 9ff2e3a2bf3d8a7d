#include "sim/DiscoveryResponder.h"

#include "discovery/DiscoveryMessages.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"
#include "sim/ReplyBuilder.h"
#include "sim/RequestGate.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr uint64_t kSharedTag = 0;
constexpr uint64_t kWakeTag = UINT64_MAX;
constexpr int kSharedReceiveBuffer = 1 << 20;  // a burst of sweeps from several tools
constexpr int kDatagramsPerWakeup = 64;         // then give the other sockets a turn

// Rebooting, or a camera that speaks ONVIF only: it hears nothing of this protocol.
bool hears_own_protocol(const SimCamera& camera) {
    return camera.online() && speaks_own(camera.current().device.onvif.protocols);
}

std::string text_of(const char (&field)[kDiscoveryTextSize]) {
    return std::string(field, strnlen(field, kDiscoveryTextSize));
}

} // namespace

DiscoveryResponder::DiscoveryResponder(const FleetConfig& config, std::vector<SimCamera*> cameras)
    : m_config(config), m_cameras(std::move(cameras)), m_returns(std::make_shared<Returns>()) {
    m_config.cameras.clear();
    for (size_t i = 0; i < m_cameras.size(); ++i) {
        m_cameras[i]->add_online_observer(std::make_shared<const std::function<void()>>([returns = m_returns, i] {
            std::lock_guard<std::mutex> lock(returns->mutex);
            if (returns->wake_fd < 0) return;
            returns->cameras.push_back(i);
            const uint64_t one = 1;
            if (write(returns->wake_fd, &one, sizeof one) < 0) return;  // the counter is full: already awake
        }));
    }
}

DiscoveryResponder::~DiscoveryResponder() { stop(); }

bool DiscoveryResponder::start() {
    if (m_thread.joinable()) return true;
    m_stopping = false;
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_epoll < 0 || m_wake < 0) {
        debug_log("[sim] discovery: cannot create its event set: %s\n", std::strerror(errno));
        close_all();
        return false;
    }
    if (!m_shared.open(Endpoint{0, m_config.device_port})) {
        debug_log("[sim] discovery: %s\n", m_shared.error().c_str());
        close_all();
        return false;
    }
    setsockopt(m_shared.fd(), SOL_SOCKET, SO_RCVBUF, &kSharedReceiveBuffer, sizeof kSharedReceiveBuffer);
    watch(m_wake, kWakeTag);
    watch(m_shared.fd(), kSharedTag);
    {
        std::lock_guard<std::mutex> lock(m_returns->mutex);
        m_returns->wake_fd = m_wake;
    }
    m_slots.clear();
    m_slots.resize(m_cameras.size());
    for (size_t i = 0; i < m_cameras.size(); ++i) ensure_camera_socket(i, m_cameras[i]->current());
    m_thread = std::thread(&DiscoveryResponder::run, this);
    return true;
}

void DiscoveryResponder::stop() {
    if (m_thread.joinable()) {
        m_stopping = true;
        const uint64_t one = 1;
        if (write(m_wake, &one, sizeof one) < 0) debug_log("[sim] discovery: cannot wake its thread: %s\n", std::strerror(errno));
        m_thread.join();
    }
    close_all();
}

DiscoveryResponder::Stats DiscoveryResponder::stats() const {
    return Stats{m_requests_handled.load(), m_ignored.load(), m_replies_sent.load(), m_send_failures.load(), m_pending.load(),
                 m_unanswered.load()};
}

void DiscoveryResponder::close_all() {
    {
        std::lock_guard<std::mutex> lock(m_returns->mutex);
        m_returns->wake_fd = -1;
        m_returns->cameras.clear();
    }
    m_slots.clear();
    m_shared.close();
    if (m_epoll >= 0) close(m_epoll);
    if (m_wake >= 0) close(m_wake);
    m_epoll = m_wake = -1;
    m_scheduler.clear();
    m_budget.clear();
    m_pending = 0;
}

void DiscoveryResponder::watch(int fd, uint64_t tag) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = tag;
    if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0) debug_log("[sim] discovery: cannot watch a socket: %s\n", std::strerror(errno));
}

void DiscoveryResponder::unwatch(int fd) {
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
}

int DiscoveryResponder::wait_timeout_ms() const {
    const auto due = m_scheduler.next_due();
    if (!due) return -1;
    const int64_t left = *due - Clock::now_ms();
    if (left <= 0) return 0;
    // At a high clock speed a short wait rounds to 0 real ms; wait 1 rather than spin.
    return static_cast<int>(std::clamp<int64_t>(Clock::real_ms(left), 1, INT_MAX));
}

void DiscoveryResponder::run() {
    epoll_event events[kDatagramsPerWakeup];
    while (!m_stopping) {
        const int ready = epoll_wait(m_epoll, events, kDatagramsPerWakeup, wait_timeout_ms());
        if (ready < 0) {
            if (errno == EINTR) continue;
            debug_log("[sim] discovery: wait failed: %s\n", std::strerror(errno));
            break;
        }
        // Before any request: an announcement queued before a request was sent goes out
        // before that request's answers.
        announce_returns();
        for (int i = 0; i < ready && !m_stopping; ++i) {
            const uint64_t tag = events[i].data.u64;
            if (tag == kWakeTag) continue;  // a return, taken above, or stop(), seen by the loop condition
            drain(tag == kSharedTag ? kSharedSource : static_cast<size_t>(tag - 1));
        }
        send_due_replies();
    }
}

void DiscoveryResponder::drain(size_t source) {
    UdpSocket& socket = source == kSharedSource ? m_shared : m_slots[source].socket;
    unsigned char buffer[kRecvBufferSize];
    for (int i = 0; i < kDatagramsPerWakeup && socket.is_open(); ++i) {
        Endpoint from;
        uint32_t destination = 0;
        const long got = socket.receive(buffer, sizeof buffer, from, destination);
        if (got < 0) debug_log("[sim] discovery: %s\n", socket.error().c_str());
        if (got <= 0) return;
        // The shared socket also catches datagrams for an address that no camera holds (say,
        // one a camera has just left); like the real network, nobody answers those.
        if (source == kSharedSource && !is_broadcast(destination)) {
            ++m_ignored;
            continue;
        }
        handle_datagram(buffer, static_cast<size_t>(got), from, source);
    }
}

void DiscoveryResponder::handle_datagram(const unsigned char* data, size_t length, const Endpoint& from, size_t source) {
    DiscoveryHeader header;
    if (length < sizeof header) {
        ++m_ignored;
        return;
    }
    std::memcpy(&header, data, sizeof header);
    header.to_host();
    const size_t payload_length = header.payload_length();
    if (header.magic() != kDiscoveryMagic || payload_length > length - sizeof header) {
        ++m_ignored;
        return;
    }
    // A copy ends in a NUL whatever followed the payload in the datagram.
    const std::string payload(reinterpret_cast<const char*>(data) + sizeof header, payload_length);
    switch (header.command()) {
    case kCmdRequestDeviceInfo: handle_device_info_request(payload, from, source); break;
    case kCmdNetworkInfoRequest: handle_change_request(payload, from, source); break;
    default: ++m_ignored; break;
    }
}

namespace {

// Where a unicast answer goes: to the sender's own address, on the port the request names
// (else the tool's usual port). The tool names the address it sends from, so nothing is lost;
// an address named but not sent from is never used, or whoever writes a request could aim
// the whole fleet's answers at a third party.
Endpoint sender_endpoint(int32_t server_port, const Endpoint& from, uint16_t tool_port) {
    Endpoint tool{from.address, tool_port};
    if (server_port > 0 && server_port <= UINT16_MAX) tool.port = static_cast<uint16_t>(server_port);
    return tool;
}

} // namespace

void DiscoveryResponder::handle_device_info_request(std::string_view payload, const Endpoint& from, size_t source) {
    REQUEST_DEVICE_INFO request;
    std::memset(&request, 0, sizeof request);
    MSG_REQUEST_DEVICE_INFO message;
    if (!is_well_formed_request(payload, message.name()) || message.ToMe(payload, &request, sizeof request) != 0) {
        ++m_ignored;
        return;
    }
    const Endpoint tool = sender_endpoint(request.server_port, from, m_config.tool_port);
    const ReceivedRequest seen{kCmdRequestDeviceInfo, format_ipv4(from.address), from.port, text_of(request.server_ip),
                               request.server_port, {}, true, source != kSharedSource};
    const Endpoint destination = reply_destination(tool);
    const int64_t now = Clock::now_ms();
    const bool answered = m_budget.take(destination.address, now);
    if (!answered) ++m_unanswered;
    const size_t first = source == kSharedSource ? 0 : source;
    const size_t last = source == kSharedSource ? m_cameras.size() : source + 1;
    const int64_t fleet_size = static_cast<int64_t>(m_cameras.size());
    size_t answering = 0;
    for (size_t i = first; i < last; ++i) {
        SimCamera& camera = *m_cameras[i];
        if (!hears_own_protocol(camera)) continue;
        camera.record_request(seen);
        camera.remember_tool(tool);
        const DiscoveryFaults faults = camera.current().faults;
        if (faults.silent || !answered) continue;
        const int64_t spread = source == kSharedSource ? m_config.reply_spread_ms * static_cast<int64_t>(i) / fleet_size : 0;
        m_scheduler.add(now + std::max(0, faults.reply_delay_ms) + spread, i, destination);
        ++answering;
    }
    if (m_config.log_traffic)
        debug_log("[sim] request from %s:%u for %s:%u, %zu camera(s) answer\n", seen.source_ip.c_str(), from.port,
                  format_ipv4(tool.address).c_str(), tool.port, answering);
    send_due_replies();
    ++m_requests_handled;
}

void DiscoveryResponder::handle_change_request(std::string_view payload, const Endpoint& from, size_t source) {
    NETWORK_INFO_REQUEST request;
    std::memset(&request, 0, sizeof request);
    MSG_NETWORK_INFO_REQUEST message;
    if (!is_well_formed_request(payload, message.name()) || message.ToMe(payload, &request, sizeof request) != 0) {
        ++m_ignored;
        return;
    }
    const std::string dev_mac = text_of(request.dev_mac);
    ReceivedRequest seen{kCmdNetworkInfoRequest, format_ipv4(from.address), from.port, text_of(request.server_ip),
                         request.server_port, dev_mac, false, source != kSharedSource};
    const size_t first = source == kSharedSource ? 0 : source;
    const size_t last = source == kSharedSource ? m_cameras.size() : source + 1;
    for (size_t i = first; i < last; ++i) {
        SimCamera& camera = *m_cameras[i];
        if (!hears_own_protocol(camera)) continue;
        seen.for_me = camera.mac() == dev_mac;
        camera.record_request(seen);
        if (!seen.for_me) continue;

        const NetworkChange change{text_of(request.new_dev_ip), text_of(request.new_dev_submask), text_of(request.new_dev_gateway),
                                   request.new_dev_cmdport, request.new_dev_mediaport, request.new_dev_httpport,
                                   request.new_dev_mobileport};
        const AppliedChange applied = camera.apply(change);
        if (m_config.log_traffic)
            debug_log("[sim] camera %s: %s -> %s\n", dev_mac.c_str(), applied.before.ip_address.c_str(), applied.after.ip_address.c_str());
        // Move the camera's socket now, so requests sent to the new address reach it.
        ensure_camera_socket(i, applied.after);

        // The tool's change requests name no server and leave from a port of the platform's
        // choosing; answer on the port where the camera last heard from that address.
        Endpoint tool{from.address, m_config.tool_port};
        if (parse_ipv4(seen.server_ip)) {
            tool = sender_endpoint(request.server_port, from, m_config.tool_port);
            camera.remember_tool(tool);
        } else if (auto known = camera.last_tool(); known && known->address == from.address) {
            tool = *known;
        }
        if (applied.after.faults.silent) continue;
        m_scheduler.add(Clock::now_ms() + std::max(0, applied.after.faults.reply_delay_ms), i, reply_destination(tool));
    }
    send_due_replies();
    ++m_requests_handled;
}

void DiscoveryResponder::announce_returns() {
    // The counter is cleared before the queue is taken, so a camera queued in between is
    // either taken now or wakes the loop again.
    uint64_t count = 0;
    if (read(m_wake, &count, sizeof count) < 0 && errno != EAGAIN)
        debug_log("[sim] discovery: cannot read its wake counter: %s\n", std::strerror(errno));
    std::vector<size_t> back;
    {
        std::lock_guard<std::mutex> lock(m_returns->mutex);
        back.swap(m_returns->cameras);
    }
    const int64_t now = Clock::now_ms();
    for (size_t i : back) {
        const CameraConfig current = m_cameras[i]->current();
        if (!current.device.announce_after_reboot || current.faults.silent || !speaks_own(current.device.onvif.protocols)) continue;
        // Whatever the reply mode: the camera knows no tool that is sure to be listening.
        m_scheduler.add(now + std::max(0, current.faults.reply_delay_ms), i, broadcast_destination());
        if (m_config.log_traffic)
            debug_log("[sim] camera %s back at %s with %s, announces itself\n", current.mac_address.c_str(),
                      current.ip_address.c_str(), current.software_ver.c_str());
    }
}

bool DiscoveryResponder::is_broadcast(uint32_t destination) const {
    if (destination == 0xFFFFFFFFu || destination == parse_ipv4(m_config.broadcast_address)) return true;
    // A directed broadcast: all host bits set in some camera's subnet.
    for (const SimCamera* camera : m_cameras) {
        const CameraConfig current = camera->current();
        const auto address = parse_ipv4(current.ip_address);
        const auto mask = parse_ipv4(current.subnet_mask);
        if (address && mask && *mask != 0xFFFFFFFFu && destination == (*address | ~*mask)) return true;
    }
    return false;
}

Endpoint DiscoveryResponder::broadcast_destination() const {
    // An unusable broadcast address was refused when the fleet was configured.
    return Endpoint{parse_ipv4(m_config.broadcast_address).value_or(0xFFFFFFFFu), m_config.tool_port};
}

Endpoint DiscoveryResponder::reply_destination(const Endpoint& tool) const {
    return m_config.reply_mode == ReplyMode::Unicast ? tool : broadcast_destination();
}

void DiscoveryResponder::send_due_replies() {
    for (const auto& entry : m_scheduler.take_due(Clock::now_ms())) send_reply(entry.camera, entry.destination);
    m_pending = m_scheduler.size();
}

void DiscoveryResponder::send_reply(size_t camera_index, const Endpoint& destination) {
    SimCamera& camera = *m_cameras[camera_index];
    if (!camera.online()) return;  // went down before its reply was due
    const CameraConfig current = camera.current();
    ReplyDatagram reply;
    if (!ensure_camera_socket(camera_index, current) || !build_reply(current, m_config.device_port, reply)) {
        ++m_send_failures;
        return;
    }
    UdpSocket& socket = m_slots[camera_index].socket;
    const int copies = 1 + std::max(0, current.faults.duplicate_replies);
    uint64_t sent = 0;
    for (int copy = 0; copy < copies; ++copy) {
        if (socket.send_to(destination, reply.bytes.data(), reply.length)) {
            ++sent;
        } else {
            ++m_send_failures;
            debug_log("[sim] camera %s: %s\n", camera.mac().c_str(), socket.error().c_str());
        }
    }
    camera.count_replies(sent);
    m_replies_sent += sent;
}

bool DiscoveryResponder::ensure_camera_socket(size_t camera_index, const CameraConfig& current) {
    CameraSlot& slot = m_slots[camera_index];
    const auto address = parse_ipv4(current.ip_address);
    if (slot.socket.is_open() && address && slot.socket.local().address == *address) return true;
    if (slot.socket.is_open()) {
        unwatch(slot.socket.fd());
        slot.socket.close();
    }
    if (address && slot.socket.open(Endpoint{*address, m_config.device_port})) {
        slot.failed_address.clear();
        watch(slot.socket.fd(), camera_index + 1);
        return true;
    }
    if (slot.failed_address != current.ip_address) {
        slot.failed_address = current.ip_address;
        debug_log("[sim] camera %s cannot use address \"%s\": %s\n", current.mac_address.c_str(), current.ip_address.c_str(),
                  address ? slot.socket.error().c_str() : "not a dotted IPv4 address");
    }
    return false;
}
