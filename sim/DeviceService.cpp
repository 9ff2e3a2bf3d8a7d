#include "sim/DeviceService.h"

#include "devsdk/protocol/Socket.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"
#include "sim/DeviceSession.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <unordered_set>

namespace {

constexpr uint64_t kWakeTag = 0;
constexpr int kAcceptsPerWakeup = 64;
// Descriptors left for what the fleet opens besides connections: files, pipes, the odd socket.
constexpr uint64_t kSpareDescriptors = 64;

void store_word(uint8_t* p, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

DeviceService::DeviceService(const FleetConfig& config, std::vector<SimCamera*> cameras)
    : m_config(config), m_cameras(std::move(cameras)), m_waker(std::make_shared<Waker>()) {
    m_config.cameras.clear();
    m_waker->moved = &m_moved;
    auto observer = std::make_shared<const std::function<void()>>([waker = m_waker] {
        std::lock_guard<std::mutex> lock(waker->mutex);
        if (waker->fd < 0) return;
        waker->moved->store(true);
        const uint64_t one = 1;
        if (::write(waker->fd, &one, sizeof one) < 0) return;  // already awake
    });
    for (SimCamera* camera : m_cameras) camera->add_network_observer(observer);
}

DeviceService::~DeviceService() {
    stop();
}

bool DeviceService::start() {
    if (m_thread.joinable()) return true;
    m_stopping = false;
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_epoll < 0 || m_wake < 0) {
        debug_log("[sim] device SDK: cannot create its event set: %s\n", std::strerror(errno));
        stop();
        return false;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kWakeTag;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &event);
    m_listeners.assign(m_cameras.size(), CameraListener{});
    // Every camera holds a discovery socket and a listener; connections get what is left.
    const uint64_t files = open_file_limit();
    const uint64_t held = 2 * m_cameras.size() + kSpareDescriptors;
    const uint64_t wanted = static_cast<uint64_t>(std::max(1, m_config.max_connections)) + kWaitingInFleet;
    m_session_cap = static_cast<size_t>(std::clamp<uint64_t>(files > held ? files - held : 1, 1, wanted));
    m_login_cap = std::min<int64_t>(m_config.max_connections, static_cast<int64_t>(m_session_cap));
    m_logins = 0;
    m_spare = std::make_unique<SpareDescriptor>();
    {
        std::lock_guard<std::mutex> lock(m_waker->mutex);
        m_waker->fd = m_wake;
    }
    m_moved = true;
    place_listeners();
    m_thread = std::thread(&DeviceService::run, this);
    return true;
}

void DeviceService::stop() {
    if (m_thread.joinable()) {
        m_stopping = true;
        wake();
        m_thread.join();
    }
    {
        std::lock_guard<std::mutex> lock(m_waker->mutex);
        m_waker->fd = -1;
    }
    std::vector<Slot> slots;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [id, slot] : m_sessions) {
            slot.session->shutdown();
            slots.push_back(std::move(slot));
        }
        m_sessions.clear();
        m_finished.clear();
        // Restarts in progress are abandoned with the service.
        m_schedule.clear();
    }
    for (Slot& slot : slots)
        if (slot.thread.joinable()) slot.thread.join();
    for (CameraListener& listener : m_listeners) listener.close(m_epoll);
    m_listeners.clear();
    if (m_epoll >= 0) ::close(m_epoll);
    if (m_wake >= 0) ::close(m_wake);
    m_epoll = m_wake = -1;
    m_spare.reset();
}

size_t DeviceService::open_connections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sessions.size() - m_finished.size();
}

void DeviceService::wake() {
    const uint64_t one = 1;
    if (m_wake >= 0 && ::write(m_wake, &one, sizeof one) < 0 && errno != EAGAIN)
        debug_log("[sim] device SDK: cannot wake its thread: %s\n", std::strerror(errno));
}

int DeviceService::wait_timeout_ms() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_schedule.empty()) return -1;
    const int64_t left = m_schedule.begin()->first - Clock::now_ms();
    if (left <= 0) return 0;
    // Looks again at least twice a second, so that a change of the clock's speed (tests
    // shorten a reboot that way) takes effect within a wait.
    return static_cast<int>(std::clamp<int64_t>(Clock::real_ms(left), 1, 500));
}

void DeviceService::run() {
    epoll_event events[kAcceptsPerWakeup];
    while (!m_stopping) {
        const int ready = epoll_wait(m_epoll, events, kAcceptsPerWakeup, wait_timeout_ms());
        if (ready < 0) {
            if (errno == EINTR) continue;
            debug_log("[sim] device SDK: wait failed: %s\n", std::strerror(errno));
            break;
        }
        for (int i = 0; i < ready && !m_stopping; ++i) {
            const uint64_t tag = events[i].data.u64;
            if (tag == kWakeTag) {
                uint64_t count = 0;
                if (::read(m_wake, &count, sizeof count) < 0) continue;  // drained by an earlier wakeup
            } else {
                accept_from(static_cast<size_t>(tag - 1));
            }
        }
        if (m_stopping) break;
        place_listeners();
        run_due_events();
        reap_sessions();
    }
}

void DeviceService::accept_from(size_t camera_index) {
    const int listen_fd = m_listeners[camera_index].fd();
    for (int i = 0; i < kAcceptsPerWakeup && listen_fd >= 0; ++i) {
        const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            // Out of descriptors: the connection would stay waiting and wake this thread
            // again and again; refuse it instead.
            if ((errno == EMFILE || errno == ENFILE) && m_spare && m_spare->refuse_one(listen_fd)) continue;
            return;  // EAGAIN: nothing more waiting
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        start_session(fd, camera_index);
    }
}

void DeviceService::start_session(int fd, size_t camera_index) {
    const bool online = m_cameras[camera_index]->online();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!online || m_sessions.size() >= m_session_cap) {
        ::close(fd);
        return;
    }
    make_room_for_waiting(camera_index);
    const uint64_t id = m_next_session++;
    auto session = std::make_shared<DeviceSession>(fd, DeviceContext{*m_cameras[camera_index], *this, camera_index});
    Slot slot;
    slot.session = session;
    try {
        slot.thread = std::thread([this, session, id] {
            session->run();
            {
                std::lock_guard<std::mutex> done(m_mutex);
                m_finished.push_back(id);
            }
            wake();
        });
    } catch (const std::system_error& e) {
        debug_log("[sim] device SDK: no thread for a connection to %s: %s\n", m_cameras[camera_index]->mac().c_str(), e.what());
        return;  // the session closes the connection
    }
    m_sessions.emplace(id, std::move(slot));
}

// Called with m_mutex held. Pushes out the oldest waiting connection of the camera, else of
// the fleet, when one more would exceed its bound. The one pushed out ends on its own thread
// and stops counting at once.
void DeviceService::make_room_for_waiting(size_t camera_index) {
    size_t here = 0;
    size_t fleet = 0;
    DeviceSession* oldest_here = nullptr;
    DeviceSession* oldest = nullptr;
    for (auto& [id, slot] : m_sessions) {
        DeviceSession& session = *slot.session;
        if (!session.waiting()) continue;
        ++fleet;
        if (!oldest) oldest = &session;
        if (session.camera_index() != camera_index) continue;
        ++here;
        if (!oldest_here) oldest_here = &session;
    }
    if (here >= kWaitingPerCamera)
        oldest_here->shutdown();
    else if (fleet >= kWaitingInFleet)
        oldest->shutdown();
}

bool DeviceService::enter_login() {
    int64_t logins = m_logins.load();
    do {
        if (logins >= m_login_cap) return false;
    } while (!m_logins.compare_exchange_weak(logins, logins + 1));
    return true;
}

void DeviceService::leave_login() {
    --m_logins;
}

void DeviceService::reap_sessions() {
    std::vector<Slot> done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (uint64_t id : m_finished) {
            auto found = m_sessions.find(id);
            if (found == m_sessions.end()) continue;
            done.push_back(std::move(found->second));
            m_sessions.erase(found);
        }
        m_finished.clear();
    }
    for (Slot& slot : done) slot.thread.join();
}

void DeviceService::end_sessions_of(size_t camera_index) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& [id, slot] : m_sessions)
        if (slot.session->camera_index() == camera_index) slot.session->shutdown();
}

void DeviceService::restart_later(size_t camera_index, int64_t delay_ms) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_schedule.emplace(Clock::now_ms() + delay_ms, Event{Step::PowerOff, camera_index});
    }
    wake();
}

void DeviceService::run_due_events() {
    for (;;) {
        Event event{};
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_schedule.empty() || m_schedule.begin()->first > Clock::now_ms()) return;
            event = m_schedule.begin()->second;
            m_schedule.erase(m_schedule.begin());
        }
        if (event.step == Step::PowerOff)
            power_off(event.camera);
        else
            power_on(event.camera);
    }
}

// Every connection drops, the camera falls silent on both protocols, and what waited for a
// start (a new firmware version) is installed.
void DeviceService::power_off(size_t camera_index) {
    bool was_online = false;
    bool returns = true;
    int reboot_ms = 0;
    m_cameras[camera_index]->update([&](CameraView& view) {
        DeviceState& state = view.state;
        was_online = state.online;
        if (!was_online) return;
        state.online = false;
        ++state.boot;
        state.active_logins = 0;
        state.upgrading = false;
        state.white_lamp = state.infrared_lamp = state.microphone_open = false;
        if (!state.installed_version.empty()) {
            view.current.software_ver = state.installed_version;
            state.installed_version.clear();
        }
        ++view.record.reboots;
        returns = !view.current.device.faults.reboot_never_returns;
        reboot_ms = std::max(0, view.current.device.reboot_ms);
    });
    if (!was_online) return;
    m_listeners[camera_index].close(m_epoll);
    end_sessions_of(camera_index);
    if (!returns) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_schedule.emplace(Clock::now_ms() + reboot_ms, Event{Step::PowerOn, camera_index});
}

void DeviceService::power_on(size_t camera_index) {
    SimCamera& camera = *m_cameras[camera_index];
    bool dhcp = false;
    camera.update([&](CameraView& view) {
        DeviceState& state = view.state;
        if (state.restore_at_boot) {
            // The factory settings, but the firmware that is installed now.
            const std::string version = view.current.software_ver;
            view.current = view.factory;
            view.current.software_ver = version;
            state.restore_at_boot = false;
            state.ldr.clear();
            state.ircut = 1;
            state.logo_size = 0;
            state.clock_words = {};
            state.clock_words[0] = 1;
            store_word(state.clock_words.data() + 36, view.factory.device.clock_profile);
            view.network_changed = true;
        }
        dhcp = view.current.device.settings.dhcp;
    });
    const std::string address = dhcp ? dhcp_address(camera_index) : std::string();
    camera.update([&](CameraView& view) {
        if (!address.empty() && view.current.ip_address != address) {
            view.current.ip_address = address;
            view.network_changed = true;
        }
    });
    // Listening first: a camera that says it is back must take a login at once.
    place_listener(camera_index, true);
    camera.update([&](CameraView& view) { view.state.online = true; });
}

// The address a DHCP server gives the camera: its own configured one, else a lease from the
// fleet's pool that it keeps for good.
std::string DeviceService::dhcp_address(size_t camera_index) {
    const CameraConfig current = m_cameras[camera_index]->current();
    if (!current.device.dhcp_address.empty()) return current.device.dhcp_address;
    auto lease = m_leases.find(current.mac_address);
    if (lease != m_leases.end()) return lease->second;
    std::unordered_set<std::string> taken;
    for (const SimCamera* camera : m_cameras) taken.insert(camera->current().ip_address);
    for (const auto& [mac, address] : m_leases) taken.insert(address);
    const uint32_t first = parse_ipv4(m_config.dhcp_pool_start).value_or(0);
    for (uint32_t a = first; first != 0 && a < 0xFFFFFFFFu; ++a) {
        if ((a & 0xFFu) == 0 || (a & 0xFFu) == 255 || taken.count(format_ipv4(a))) continue;
        m_leases.emplace(current.mac_address, format_ipv4(a));
        return format_ipv4(a);
    }
    return current.ip_address;
}

void DeviceService::place_listeners() {
    if (!m_moved.exchange(false)) return;
    for (size_t i = 0; i < m_cameras.size(); ++i) place_listener(i);
}

// The camera listens at its current address and command port while it is on. Connections to
// an address it has left are gone, as on a real network.
void DeviceService::place_listener(size_t camera_index, bool coming_online) {
    SimCamera& camera = *m_cameras[camera_index];
    CameraListener& listener = m_listeners[camera_index];
    if (!coming_online && !camera.online()) {
        listener.close(m_epoll);
        return;
    }
    const CameraConfig current = camera.current();
    if (!speaks_own(current.device.onvif.protocols)) {
        listener.close(m_epoll);  // ONVIF only: no command port
        return;
    }
    if (listener.place(m_epoll, camera_index + 1, current.ip_address, current.cmd_port, camera.mac(), "command port"))
        end_sessions_of(camera_index);
}
