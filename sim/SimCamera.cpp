#include "sim/SimCamera.h"

#include <limits>

namespace {

void keep_text_unless_valid(std::string& field, const std::string& requested) {
    if (parse_ipv4(requested)) field = requested;
}

void keep_port_unless_positive(uint16_t& field, int32_t requested) {
    if (requested > 0 && requested <= std::numeric_limits<uint16_t>::max()) field = static_cast<uint16_t>(requested);
}

template <class T>
void push_bounded(std::deque<T>& list, T value) {
    list.push_back(std::move(value));
    if (list.size() > CameraActivity::kHistory) list.pop_front();
}

} // namespace

SimCamera::SimCamera(CameraConfig initial) : m_mac(initial.mac_address), m_current(std::move(initial)) {}

CameraConfig SimCamera::current() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_current;
}

uint64_t SimCamera::network_generation() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_generation;
}

AppliedChange SimCamera::apply(const NetworkChange& change) {
    std::lock_guard<std::mutex> lock(m_mutex);
    AppliedChange applied{change, m_current, m_current};
    CameraConfig& next = applied.after;
    keep_text_unless_valid(next.ip_address, change.ip_address);
    keep_text_unless_valid(next.subnet_mask, change.subnet_mask);
    keep_text_unless_valid(next.gateway, change.gateway);
    keep_port_unless_positive(next.cmd_port, change.cmd_port);
    keep_port_unless_positive(next.media_port, change.media_port);
    keep_port_unless_positive(next.http_port, change.http_port);
    keep_port_unless_positive(next.phone_port, change.phone_port);
    m_current = next;
    ++m_generation;
    ++m_activity.changes_applied;
    push_bounded(m_activity.changes, applied);
    return applied;
}

void SimCamera::record_request(const ReceivedRequest& request) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_activity.requests_seen;
    push_bounded(m_activity.requests, request);
}

void SimCamera::count_replies(uint64_t count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_activity.replies_sent += count;
}

CameraActivity SimCamera::activity() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_activity;
}

void SimCamera::remember_tool(Endpoint tool) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tool = tool;
}

std::optional<Endpoint> SimCamera::last_tool() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_tool;
}
