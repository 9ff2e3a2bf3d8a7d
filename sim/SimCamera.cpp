#include "sim/SimCamera.h"

#include <cctype>
#include <cstdio>
#include <limits>

namespace {

void keep_text_unless_valid(std::string& field, const std::string& requested) {
    if (parse_ipv4(requested)) field = requested;
}

void keep_port_unless_positive(uint16_t& field, int32_t requested) {
    if (requested > 0 && requested <= std::numeric_limits<uint16_t>::max()) field = static_cast<uint16_t>(requested);
}

void store_word(uint8_t* p, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

template <class T>
void push_bounded(std::deque<T>& list, T value) {
    list.push_back(std::move(value));
    if (list.size() > CameraActivity::kHistory) list.pop_front();
}

} // namespace

SimCamera::SimCamera(CameraConfig initial) : m_mac(initial.mac_address), m_factory(initial), m_current(std::move(initial)) {
    // The clock record's device words: a format word, then the clock profile at byte 36.
    m_device.clock_words[0] = 1;
    store_word(m_device.clock_words.data() + 36, m_current.device.clock_profile);
}

CameraConfig SimCamera::current() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_current;
}

uint64_t SimCamera::network_generation() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_generation;
}

AppliedChange SimCamera::apply(const NetworkChange& change) {
    std::unique_lock<std::mutex> lock(m_mutex);
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
    lock.unlock();
    notify(m_network_observers);
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

bool SimCamera::online() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.online;
}

DeviceState SimCamera::device_state() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device;
}

DeviceRecord SimCamera::device_record() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_record;
}

void SimCamera::update(const std::function<void(CameraView&)>& change) {
    bool moved = false;
    bool back = false;
    bool down = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const bool was_online = m_device.online;
        CameraView view{m_current, m_factory, m_device, m_record};
        change(view);
        if (view.network_changed) ++m_generation;
        moved = view.network_changed;
        back = !was_online && m_device.online;
        down = was_online && !m_device.online;
    }
    if (down) notify(m_offline_observers);
    // The address first: whoever hears of the return finds the camera where it now is.
    if (moved) notify(m_network_observers);
    if (back) notify(m_online_observers);
}

void SimCamera::add_network_observer(Observer observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_network_observers.push_back(std::move(observer));
}

void SimCamera::add_online_observer(Observer observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_online_observers.push_back(std::move(observer));
}

void SimCamera::add_offline_observer(Observer observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_offline_observers.push_back(std::move(observer));
}

void SimCamera::notify(const std::vector<Observer>& list) {
    std::vector<Observer> observers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        observers = list;
    }
    for (const auto& observer : observers) (*observer)();
}

std::string board_type_text(int32_t board_type) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<uint32_t>(board_type));
    return text;
}

DeviceSide effective_device(const CameraConfig& camera) {
    DeviceSide device = camera.device;
    std::string digits;
    for (char c : camera.mac_address)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (device.board_name.empty()) device.board_name = "IPC-" + board_type_text(camera.board_type).substr(2);
    if (device.board_id < 0) device.board_id = static_cast<uint32_t>(camera.board_type);
    if (device.serial.empty()) device.serial = "SN" + digits;
    if (device.pid.empty()) device.pid = "ovxpid" + board_type_text(camera.board_type).substr(2);
    if (device.cloud_uid.empty()) device.cloud_uid = "ovx" + digits;
    if (device.qr_text.empty()) device.qr_text = device.cloud_uid;
    return device;
}
