#include "sim/DeviceSession.h"

#include "devsdk/ovix_client.h"
#include "devsdk/protocol/DeviceLogin.h"
#include "devsdk/protocol/LoginProof.h"
#include "devsdk/protocol/Socket.h"
#include "foundation/Clock.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

using namespace ovix;

namespace {

// A client logs in as soon as it has the hello (its whole connect budget is 3 s); a
// connection that has not within this long is not a client, and makes room for one.
constexpr int64_t kLoginWaitMs = 5000;
// The most a frame before the login may carry: a login, with room for fields that later minor
// versions append.
constexpr uint32_t kMaxLoginPayload = 4096;
// Clients ping every few seconds; a logged-in connection silent this long is dead.
constexpr int64_t kIdleLimitMs = 60000;
// A transfer in progress reports at least this often, well within the client's stall limit.
constexpr int64_t kProgressEveryMs = 5000;
// A slow link holds the session in slices, so that a shutdown is seen soon.
constexpr int64_t kPacingSliceMs = 200;

} // namespace

DeviceSession::DeviceSession(int fd, DeviceContext device)
    : m_device(device), m_connection(fd), m_link(device.camera.current().device.faults.link_bytes_per_second) {}

void DeviceSession::shutdown() {
    m_closing = true;
    m_connection.shutdown();
}

void DeviceSession::run() {
    const Nonce nonce = random_nonce();
    m_last_heard = Clock::now_ms();
    if (m_connection.hello(nonce) == Io::Ok && first_frame_fits(m_last_heard + kLoginWaitMs)) {
        carry(kFrameHeaderSize + 36);
        Frame frame;  // kept across reads: its buffer takes the next image chunk
        while (!m_closing) {
            const Io io = m_connection.stream.read(frame, next_wake());
            if (m_closing) break;
            if (io == Io::Timeout) {
                on_time();
                continue;
            }
            if (io != Io::Ok) break;
            m_last_heard = Clock::now_ms();
            carry(kFrameHeaderSize + frame.payload.size());
            if (!m_logged_in) {
                if (!log_in(frame, nonce)) break;
                continue;
            }
            if (!handle(frame)) break;
            send_due_pictures(Clock::now_ms());
            send_due_sound(Clock::now_ms());
        }
    }
    finish();
}

// Before the login only a login may come. A peer that announces more is given up before any
// buffer is made for it; the header is looked at without taking it from the socket.
bool DeviceSession::first_frame_fits(int64_t deadline_ms) {
    const int fd = m_connection.stream.fd();
    // Woken only once the whole header is there, so that a peer dribbling it costs no spinning.
    const int header_size = static_cast<int>(kFrameHeaderSize);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVLOWAT, &header_size, sizeof header_size);
    uint8_t bytes[kFrameHeaderSize];
    bool fits = false;
    bool hung_up = false;
    while (!m_closing) {
        const ssize_t got = ::recv(fd, bytes, sizeof bytes, MSG_PEEK | MSG_DONTWAIT);
        if (got == static_cast<ssize_t>(sizeof bytes)) {
            FrameHeader header;
            fits = decode_frame_header(bytes, header) == HeaderCheck::Ok && header.length <= kMaxLoginPayload;
            break;
        }
        if (got == 0 || hung_up || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) break;
        const int timeout = poll_timeout(deadline_ms);
        if (timeout == 0) break;
        pollfd wait{fd, POLLIN | POLLRDHUP, 0};
        if (::poll(&wait, 1, timeout) > 0) hung_up = (wait.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVLOWAT, &one, sizeof one);
    return fits;
}

int64_t DeviceSession::next_wake() const {
    int64_t wake = m_last_heard + (m_logged_in ? kIdleLimitMs : kLoginWaitMs);
    if (m_upgrade_held) wake = std::min(wake, m_last_image_ms + kUpgradeIdleMs);
    if (m_upgrade.upgrading && !m_upgrade_stalled) wake = std::min(wake, m_last_progress_ms + kProgressEveryMs);
    for (const LiveStream& stream : m_streams) {
        wake = std::min(wake, stream.next_due);
        if (stream.microphone) wake = std::min(wake, stream.audio_due);
    }
    return wake;
}

void DeviceSession::on_time() {
    const int64_t now = Clock::now_ms();
    if (now - m_last_heard >= (m_logged_in ? kIdleLimitMs : kLoginWaitMs)) {
        m_closing = true;
        return;
    }
    upgrade_check_idle(now);
    if (m_upgrade.upgrading && !m_upgrade_stalled && now - m_last_progress_ms >= kProgressEveryMs) push_progress(m_upgrade.progress());
    send_due_pictures(now);
    send_due_sound(now);
}

void DeviceSession::carry(size_t bytes) {
    if (!m_link.limited()) return;
    const int64_t until = m_link.carry(bytes, Clock::now_ms());
    for (int64_t now = Clock::now_ms(); !m_closing && now < until; now = Clock::now_ms()) {
        Clock::sleep_ms(std::min(kPacingSliceMs, until - now));
        // A transfer held up by the link still reports, so that the client does not give up.
        if (m_upgrade.upgrading && !m_upgrade_stalled && Clock::now_ms() - m_last_progress_ms >= kProgressEveryMs)
            push_progress(m_upgrade.progress());
    }
}

bool DeviceSession::log_in(const Frame& frame, const Nonce& nonce) {
    std::vector<CameraUser> users;
    std::optional<int32_t> injected;
    m_device.camera.update([&](CameraView& view) {
        users = view.current.device.users;
        injected = injected_answer(view, "login", -1);
    });
    LoginRequest request;
    int32_t result = verify_login(frame, nonce, [&users](std::string_view name) -> std::optional<std::string> {
        for (const CameraUser& user : users)
            if (user.name == name) return user.password;
        return std::nullopt;
    }, &request);
    if (injected && result != OVIX_ERR_BAD_REQUEST) result = *injected;
    const bool fleet_room = result == OVIX_OK && m_device.host.enter_login();
    if (result == OVIX_OK && !fleet_room) result = OVIX_ERR_USER_LIMIT;
    m_device.camera.update([&](CameraView& view) {
        if (result == OVIX_OK) {
            if (!view.state.online) {
                result = OVIX_ERR_REFUSED_NOW;
            } else if (view.state.active_logins >= view.current.device.user_limit) {
                result = OVIX_ERR_USER_LIMIT;
            } else {
                ++view.state.active_logins;
                m_boot = view.state.boot;
            }
        }
        ++(result == OVIX_OK ? view.record.logins_accepted : view.record.logins_refused);
        push_recent(view.record.logins, DeviceRecord::Login{request.user, result});
    });
    if (fleet_room && result != OVIX_OK) m_device.host.leave_login();
    // Counted as logged in before the answer goes out, so that no newcomer pushes out a
    // connection whose client has been told it is in.
    m_logged_in = result == OVIX_OK;
    m_connection.answer(frame, result);
    // After a refusal the camera hangs up.
    return m_logged_in;
}

bool DeviceSession::handle(const Frame& frame) {
    switch (static_cast<Kind>(frame.kind)) {
    case Kind::Logout: return false;
    case Kind::UpgradeData: return upgrade_data(frame);
    case Kind::UpgradeAbort: upgrade_abort(); return true;
    default: break;
    }
    if (frame.id == 0) return true;  // nothing waits for an answer

    const char* name = request_name(frame.kind);
    const int32_t command = request_command(frame);
    std::optional<int32_t> injected;
    if (name) m_device.camera.update([&](CameraView& view) { injected = injected_answer(view, name, command); });
    const Answer answer = injected ? Answer{*injected, {}} : answer_request(frame);
    if (frame.kind != static_cast<uint16_t>(Kind::Ping)) record_request(name ? name : "unknown", name ? command : frame.kind, answer.result);
    const Io io = m_connection.answer(frame, answer.result, answer.data);
    carry(kFrameHeaderSize + 4 + answer.data.size());
    return io == Io::Ok;
}

Answer DeviceSession::answer_request(const Frame& frame) {
    const Answer bad{OVIX_ERR_BAD_REQUEST, {}};
    switch (static_cast<Kind>(frame.kind)) {
    case Kind::Ping: return Answer{OVIX_OK, {}};
    case Kind::GetConfig: {
        ConfigGet request;
        return decode(frame.payload, request) ? get_config(m_device, request) : bad;
    }
    case Kind::SetConfig: {
        ConfigSet request;
        return decode(frame.payload, request) ? set_config(m_device, request) : bad;
    }
    case Kind::DeviceControl: {
        DeviceControl request;
        return decode(frame.payload, request) ? device_control(m_device, request) : bad;
    }
    case Kind::LdrControl: {
        CodeValue request;
        return decode(frame.payload, request) ? ldr_control(m_device, request) : bad;
    }
    case Kind::IrcutControl: {
        int32_t value = 0;
        return decode_i32(frame.payload, value) ? ircut_control(m_device, value) : bad;
    }
    case Kind::PtzControl: {
        PtzRequest request;
        return decode(frame.payload, request) ? ptz_control(m_device, request) : bad;
    }
    case Kind::PlayVoice: {
        int32_t value = 0;
        return decode_i32(frame.payload, value) ? play_voice(m_device, value) : bad;
    }
    case Kind::GetCapability: {
        int32_t channel = 0;
        return decode_i32(frame.payload, channel) ? get_capability(m_device, channel) : bad;
    }
    case Kind::UpgradeStart: return upgrade_start(frame);
    case Kind::LiveStart: return live_start(frame);
    case Kind::LiveStop: return live_stop(frame);
    case Kind::LiveControl: return live_control(frame);
    default: return Answer{OVIX_ERR_UNSUPPORTED, {}};
    }
}

void DeviceSession::record_request(const char* name, int32_t command, int32_t result) {
    m_device.camera.update([&](CameraView& view) {
        ++view.record.requests;
        push_recent(view.record.commands, DeviceRecord::Request{name, command, result});
    });
}

void DeviceSession::finish() {
    if (m_upgrade_held) upgrade_ended(m_upgrade_stalled ? "stalled" : "dropped");
    if (m_logged_in) {
        m_device.camera.update([&](CameraView& view) {
            // A restart has already forgotten the logins of the start before.
            if (view.state.boot == m_boot && view.state.active_logins > 0) --view.state.active_logins;
        });
        m_device.host.leave_login();
    }
    m_done = true;
    m_connection.shutdown();
}
