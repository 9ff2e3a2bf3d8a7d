#include "sim/onvif/OnvifDeviceService.h"

#include "devsdk/protocol/Socket.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"
#include "onvif/BoundedXml.h"
#include "onvif/Crypto.h"
#include "onvif/Namespaces.h"
#include "onvif/Soap.h"
#include "sim/onvif/MediaCalls.h"
#include "sim/onvif/FirmwareAttachment.h"
#include "sim/onvif/FirmwareUpload.h"
#include "sim/onvif/HttpRequestReader.h"
#include "sim/onvif/OnvifIdentity.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr uint64_t kWakeTag = 0;
constexpr uint64_t kConnectionTag = uint64_t{1} << 63;
constexpr int kEventsPerWakeup = 64;
constexpr const char* kSoapType = "application/soap+xml; charset=utf-8";

uint64_t next_random(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool busy_now(const OnvifFaults& faults, uint32_t call, uint64_t& random) {
    if (faults.busy_nth > 0) return call >= faults.busy_nth && call - faults.busy_nth < faults.busy_count;
    return faults.busy_probability > 0 && static_cast<double>(next_random(random) >> 11) * 0x1.0p-53 < faults.busy_probability;
}

} // namespace

OnvifDeviceService::OnvifDeviceService(const FleetConfig& config, std::vector<SimCamera*> cameras, Reboot reboot)
    : m_config(config), m_cameras(std::move(cameras)), m_reboot(std::move(reboot)), m_shared(std::make_shared<Shared>()),
      m_states(m_cameras.size()) {
    m_config.cameras.clear();
    auto moved = std::make_shared<const std::function<void()>>([shared = m_shared] {
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (shared->wake_fd < 0) return;
        shared->moved = true;
        const uint64_t one = 1;
        if (::write(shared->wake_fd, &one, sizeof one) < 0) return;  // already awake
    });
    for (size_t i = 0; i < m_cameras.size(); ++i) {
        SimCamera* camera = m_cameras[i];
        std::hash<std::string> hash;
        m_states[i].random = hash(camera->mac()) | 1;
        // A clock N hours off is the camera's one clock, seen by both protocols.
        if (const int hours = camera->current().device.onvif.faults.clock_offset_hours; hours != 0)
            camera->update([hours](CameraView& view) { view.state.clock_offset_ms += int64_t{hours} * 3600000; });
        camera->add_network_observer(moved);
        camera->add_online_observer(moved);
        // A change kept for the next start takes effect while the camera is down.
        camera->add_offline_observer(std::make_shared<const std::function<void()>>([shared = m_shared, moved, camera, i] {
            std::optional<NetworkChange> change;
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                auto found = shared->at_next_start.find(i);
                if (found != shared->at_next_start.end()) {
                    change = found->second;
                    shared->at_next_start.erase(found);
                }
            }
            if (change) camera->apply(*change);
            (*moved)();
        }));
    }
}

OnvifDeviceService::~OnvifDeviceService() { stop(); }

bool OnvifDeviceService::start() {
    if (m_thread.joinable()) return true;
    m_stopping = false;
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_epoll < 0 || m_wake < 0) {
        debug_log("[sim] ONVIF: cannot create its event set: %s\n", std::strerror(errno));
        stop();
        return false;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kWakeTag;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &event);
    m_listeners.assign(m_cameras.size(), CameraListener{});
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->wake_fd = m_wake;
        m_shared->moved = true;
    }
    place_listeners();
    m_thread = std::thread(&OnvifDeviceService::run, this);
    for (size_t i = 0; i < kWorkers; ++i) m_workers.emplace_back(&OnvifDeviceService::work, this);
    return true;
}

void OnvifDeviceService::stop() {
    if (m_thread.joinable()) {
        m_stopping = true;
        wake();
        m_thread.join();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [fd, connection] : m_connections) ::shutdown(fd, SHUT_RDWR);
    }
    m_ready.notify_all();
    for (std::thread& worker : m_workers) worker.join();
    m_workers.clear();
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->wake_fd = -1;
    }
    for (auto& [fd, connection] : m_connections) ::close(fd);
    m_connections.clear();
    m_queue.clear();
    m_finished.clear();
    for (CameraListener& listener : m_listeners) listener.close(m_epoll);
    m_listeners.clear();
    if (m_epoll >= 0) ::close(m_epoll);
    if (m_wake >= 0) ::close(m_wake);
    m_epoll = m_wake = -1;
}

size_t OnvifDeviceService::open_connections() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connections.size();
}

void OnvifDeviceService::wake() {
    const uint64_t one = 1;
    if (m_wake >= 0 && ::write(m_wake, &one, sizeof one) < 0 && errno != EAGAIN)
        debug_log("[sim] ONVIF: cannot wake its thread: %s\n", std::strerror(errno));
}

void OnvifDeviceService::reboot(size_t camera_index, int64_t delay_ms) { m_reboot(camera_index, delay_ms); }

std::string OnvifDeviceService::new_upload_path(size_t camera_index) {
    std::array<uint8_t, 12> random{};
    onvif::random_bytes(random);
    std::lock_guard<std::mutex> lock(m_state_mutex);
    m_states[camera_index].upload_path = kFirmwareUploadPath + onvif::hex_lower(random);
    return m_states[camera_index].upload_path;
}

void OnvifDeviceService::change_at_next_start(size_t camera_index, const NetworkChange& change) {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->at_next_start[camera_index] = change;
}

void OnvifDeviceService::run() {
    epoll_event events[kEventsPerWakeup];
    int64_t last_sweep = Clock::now_ms();
    while (!m_stopping) {
        const int ready = epoll_wait(m_epoll, events, kEventsPerWakeup, static_cast<int>(std::max<int64_t>(1, Clock::real_ms(1000))));
        if (ready < 0 && errno != EINTR) {
            debug_log("[sim] ONVIF: wait failed: %s\n", std::strerror(errno));
            break;
        }
        for (int i = 0; i < ready && !m_stopping; ++i) {
            const uint64_t tag = events[i].data.u64;
            if (tag == kWakeTag) {
                uint64_t count = 0;
                if (::read(m_wake, &count, sizeof count) < 0) continue;
            } else if (tag & kConnectionTag) {
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    const int fd = static_cast<int>(tag & ~kConnectionTag);
                    auto found = m_connections.find(fd);
                    if (found == m_connections.end()) continue;
                    found->second->busy = true;
                    m_queue.push_back(fd);
                }
                m_ready.notify_one();
            } else {
                accept_from(static_cast<size_t>(tag - 1));
            }
        }
        if (m_stopping) break;
        std::vector<int> finished;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            finished.swap(m_finished);
        }
        for (int fd : finished) close_connection(fd);
        place_listeners();
        if (Clock::now_ms() - last_sweep >= 1000) {
            sweep_idle();
            last_sweep = Clock::now_ms();
        }
    }
}

void OnvifDeviceService::work() {
    for (;;) {
        int fd = -1;
        Connection* connection = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_ready.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            if (m_stopping) return;
            fd = m_queue.front();
            m_queue.pop_front();
            connection = m_connections.at(fd).get();
        }
        bool keep = serve(*connection);
        while (keep && !m_stopping && connection->reader->has_buffered()) keep = serve(*connection);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            connection->busy = false;
            connection->last_ms = Clock::now_ms();
            if (!keep) {
                m_finished.push_back(fd);
            } else {
                // Re-armed under the lock: once it is not busy, the accept thread may close the
                // descriptor (idle, a reboot), and a number closed and handed out again would
                // arm another connection.
                epoll_event event{};
                event.events = EPOLLIN | EPOLLONESHOT | EPOLLRDHUP;
                event.data.u64 = kConnectionTag | static_cast<uint64_t>(fd);
                epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
            }
        }
        if (!keep) wake();
    }
}

void OnvifDeviceService::accept_from(size_t camera_index) {
    const int listen_fd = m_listeners[camera_index].fd();
    for (int i = 0; i < kEventsPerWakeup && listen_fd >= 0; ++i) {
        const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard<std::mutex> lock(m_mutex);
        const size_t here = static_cast<size_t>(std::count_if(m_connections.begin(), m_connections.end(),
                                                              [&](const auto& c) { return c.second->camera == camera_index; }));
        if (m_connections.size() >= kMaxConnections || here >= kMaxConnectionsPerCamera) {
            ::close(fd);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        connection->camera = camera_index;
        connection->reader = std::make_unique<HttpRequestReader>(fd);
        connection->last_ms = Clock::now_ms();
        m_connections.emplace(fd, std::move(connection));
        epoll_event event{};
        event.events = EPOLLIN | EPOLLONESHOT | EPOLLRDHUP;
        event.data.u64 = kConnectionTag | static_cast<uint64_t>(fd);
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
    }
}

void OnvifDeviceService::close_connection(int fd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_connections.find(fd);
    if (found == m_connections.end() || found->second->busy) return;
    epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
    ::close(fd);
    m_connections.erase(found);
}

// Idle keep-alive connections end after kIdleMs; one being served is never closed here.
void OnvifDeviceService::sweep_idle() {
    std::vector<int> idle;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const int64_t now = Clock::now_ms();
        for (auto& [fd, connection] : m_connections)
            if (!connection->busy && now - connection->last_ms >= kIdleMs) idle.push_back(fd);
    }
    for (int fd : idle) close_connection(fd);
}

// Connections to an address the camera has left, or of a camera going down, end: shut down
// here, closed once their worker or the wait has seen it.
void OnvifDeviceService::drop_connections_of(size_t camera_index) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& [fd, connection] : m_connections)
        if (connection->camera == camera_index) ::shutdown(fd, SHUT_RDWR);
}

void OnvifDeviceService::place_listeners() {
    if (!m_shared->moved.exchange(false)) return;
    for (size_t i = 0; i < m_cameras.size(); ++i) {
        SimCamera& camera = *m_cameras[i];
        const CameraConfig current = camera.current();
        const bool moved = camera.online() && speaks_onvif(current.device.onvif.protocols)
                               ? m_listeners[i].place(m_epoll, i + 1, current.ip_address, current.http_port, camera.mac(), "ONVIF")
                               : m_listeners[i].close(m_epoll);
        if (moved) drop_connections_of(i);
    }
}

bool OnvifDeviceService::serve(Connection& connection) {
    HttpRequestReader& reader = *connection.reader;
    HttpHead head;
    switch (reader.read_head(head)) {
    case HttpRequestReader::Status::closed: return false;
    case HttpRequestReader::Status::bad:
    case HttpRequestReader::Status::too_large:
        write_http_response(connection.fd, 400, "text/plain", "bad request\n", false);
        return false;
    case HttpRequestReader::Status::ok: break;
    }
    if (head.chunked) {
        write_http_response(connection.fd, 411, "text/plain", "a Content-Length is needed\n", false);
        linger_before_close(connection.fd);
        return false;
    }
    if (head.method != "POST") {
        write_http_response(connection.fd, 405, "text/plain", "POST only\n", !head.close, "Allow: POST\r\n");
        return !head.close && (!head.has_length || head.content_length == 0);
    }
    if (head.expect_continue) {
        static constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
        if (::send(connection.fd, kContinue, sizeof kContinue - 1, MSG_NOSIGNAL) != sizeof kContinue - 1) return false;
    }
    if (head.target.rfind(kFirmwareUploadPath, 0) == 0) {
        std::string expected;
        {
            std::lock_guard<std::mutex> lock(m_state_mutex);
            expected = m_states[connection.camera].upload_path;
        }
        if (expected.empty() || head.target != expected) {
            write_http_response(connection.fd, 404, "text/plain", "no upload expected here\n", false);
            return false;
        }
        OnvifCallContext call{*m_cameras[connection.camera], connection.camera, *this};
        const UploadOutcome outcome = receive_firmware(call, reader, head);
        record(connection.camera, "FirmwareUpload", outcome.detail, outcome.status);
        if (outcome.status != 0) {
            write_http_response(connection.fd, outcome.status, "text/plain", std::string(http_reason(outcome.status)) + "\n", false);
            linger_before_close(connection.fd);
        }
        return false;
    }
    if (head.target != kDeviceServicePath) {
        write_http_response(connection.fd, 404, "text/plain", "not found\n", false);
        return false;
    }
    if (!head.has_length) {
        write_http_response(connection.fd, 411, "text/plain", "a Content-Length is needed\n", false);
        return false;
    }
    if (is_attachment_message(head)) return serve_attachment(connection, head);
    if (head.content_length > onvif::kMaxSoapBytes) {
        write_http_response(connection.fd, 413, "text/plain", "at most 1 MiB\n", false);
        linger_before_close(connection.fd);
        return false;
    }
    return serve_soap(connection, head);
}

bool OnvifDeviceService::serve_soap(Connection& connection, const HttpHead& head) {
    std::string body;
    if (!connection.reader->read_body(head.content_length, body)) return false;
    SimCamera& camera = *m_cameras[connection.camera];
    const bool keep = !head.close;
    // A client that signs with HTTP Digest may send its first request without a body, to be
    // challenged (curl does).
    if (body.empty() && camera.current().device.onvif.auth != OnvifAuth::Token) {
        std::string extra;
        {
            std::lock_guard<std::mutex> lock(m_state_mutex);
            extra = m_states[connection.camera].logins.challenge_headers(camera.current().device.onvif, false);
        }
        record(connection.camera, "?", "digest challenge: no body", 401);
        return write_http_response(connection.fd, 401, "text/plain", "sign in with HTTP Digest\n", keep, extra) && keep;
    }
    onvif::SoapRequest request;
    if (request.parse(body) != onvif::XmlStatus::ok) {
        record(connection.camera, "?", "not a SOAP envelope", 400);
        return write_http_response(connection.fd, 400, kSoapType, onvif::build_fault("Sender", "WellFormed", "not a SOAP envelope"), keep) && keep;
    }
    const pugi::xml_node operation = request.operation();
    const std::string name(onvif::local_name(operation.name()));
    OnvifAnswer answer;
    std::string extra;
    const bool media = onvif::is_element(operation, kMediaNamespace, name);
    if (!media && !onvif::is_element(operation, onvif::ns::kDevice, name)) {
        answer = soap_fault_answer(500, "Receiver", "ActionNotSupported", "only the device and media services are here");
    } else if (media || !needs_no_login(name)) {
        answer = admit(connection, head, request, extra);
    }
    if (answer.envelope.empty()) {
        OnvifCallContext call{camera, connection.camera, *this};
        answer = media ? run_media_call(call, operation) : run_device_call(call, operation);
    }
    record(connection.camera, name, answer.detail, answer.status);
    const bool sent = write_http_response(connection.fd, answer.status, kSoapType, answer.envelope, keep, extra);
    if (answer.after) answer.after();
    return sent && keep;
}

OnvifAnswer OnvifDeviceService::admit(Connection& connection, const HttpHead& head, const onvif::SoapRequest& request, std::string& extra) {
    SimCamera& camera = *m_cameras[connection.camera];
    CameraConfig current;
    int64_t utc_ms = 0;
    camera.update([&](CameraView& view) {
        current = view.current;
        utc_ms = camera_utc_ms(view.current, view.state);
    });
    OnvifAnswer answer;
    std::lock_guard<std::mutex> lock(m_state_mutex);
    CameraState& state = m_states[connection.camera];
    const OnvifLogins::Outcome login = state.logins.check(head.authorization, request.header(), current, utc_ms / 1000);
    if (login.verdict == OnvifLogins::Verdict::challenge) {
        answer = soap_fault_answer(401, "Sender", "NotAuthorized", "sign in with HTTP Digest");
        answer.detail = "digest challenge: " + login.why;
        extra = state.logins.challenge_headers(current.device.onvif, login.stale);
    } else if (login.verdict == OnvifLogins::Verdict::refused_token) {
        answer = soap_fault_answer(400, "Sender", "NotAuthorized", "Sender not authorized");
        answer.detail = "token refused: " + login.why;
    } else if (busy_now(current.device.onvif.faults, ++state.signed_calls, state.random)) {
        answer = soap_fault_answer(503, "Receiver", "", "The device is busy");
        answer.detail = "busy";
    }
    return answer;
}

// UpgradeSystemFirmware: the envelope and the attachment's headers are read within the
// bounds of a call, the login checked before any of the image is taken, then the image
// streams into the same check as the POSTed upload's.
bool OnvifDeviceService::serve_attachment(Connection& connection, const HttpHead& head) {
    onvif::SoapRequest request;
    AttachmentHead attachment;
    OnvifAnswer answer = read_attachment_head(*connection.reader, head, request, attachment);
    std::string extra;
    if (answer.envelope.empty()) answer = admit(connection, head, request, extra);
    if (answer.envelope.empty()) {
        OnvifCallContext call{*m_cameras[connection.camera], connection.camera, *this};
        answer = receive_attachment(call, *connection.reader, attachment);
    }
    record(connection.camera, "UpgradeSystemFirmware", answer.detail, answer.status);
    if (answer.status == 0) return false;  // the camera hung up
    write_http_response(connection.fd, answer.status, kSoapType, answer.envelope, false, extra);
    if (!attachment.all_read) linger_before_close(connection.fd);
    return false;
}

void OnvifDeviceService::record(size_t camera_index, const std::string& operation, const std::string& detail, int status) {
    m_cameras[camera_index]->update([&](CameraView& view) {
        ++view.record.onvif_requests;
        push_recent(view.record.onvif_calls, DeviceRecord::OnvifCall{operation, detail, status});
    });
}
