// A simulated camera's command port: one client connection served by a real DeviceSession on
// its own thread, fed the input as the client's byte stream. The target logs in first when
// the input asks for it, and signs the firmware headers of upgrade starts, so that the
// fuzzer reaches the requests behind the login and the upgrade behind the digest. Whatever
// the client sends, the camera answers in whole frames, and once the connection is over it
// holds no login and is not left busy with an upgrade.
#include "devsdk/protocol/Frame.h"
#include "devsdk/protocol/FirmwareHeader.h"
#include "devsdk/protocol/LoginProof.h"
#include "devsdk/protocol/Messages.h"
#include "sim/DeviceSession.h"
#include "sim/SimCamera.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/RawClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

using namespace ovix;

namespace {

constexpr const char* kUser = "Admin";
constexpr const char* kPassword = "tevoq";
constexpr int kSilenceLimitMs = 20000;  // far beyond any answer: the camera hangs

// A fleet of one camera that never restarts; it counts the logins it lets in.
class OneCamera : public DeviceHost {
public:
    void restart_later(size_t, int64_t) override {}
    bool enter_login() override {
        ++logins;
        return true;
    }
    void leave_login() override { --logins; }
    int logins = 0;
};

CameraConfig camera_config() {
    CameraConfig config;
    config.mac_address = "00:12:41:00:00:01";
    config.ip_address = "10.77.2.10";
    config.device.users = {{kUser, kPassword}, {"installer", "1234"}};
    config.device.version_policy = VersionPolicy::Any;
    return config;
}

// Walks the client's bytes as frames and gives each upgrade start's header a valid digest.
void sign_upgrade_starts(Bytes& stream) {
    constexpr size_t kHeaderAt = kFrameHeaderSize + 8;
    size_t at = 0;
    while (stream.size() - at >= kFrameHeaderSize) {
        FrameHeader header;
        if (decode_frame_header(stream.data() + at, header) != HeaderCheck::Ok) return;
        if (stream.size() - at - kFrameHeaderSize < header.length) return;
        if (header.kind == static_cast<uint16_t>(Kind::UpgradeStart) && header.length >= 8 + kFirmwareHeaderSize) {
            uint8_t* signed_part = stream.data() + at + kHeaderAt;
            ImageDigest digest;
            digest.update(ByteView(signed_part, 424));
            const Digest sum = digest.finish();
            std::copy(sum.begin(), sum.end(), signed_part + 424);
        }
        at += kFrameHeaderSize + header.length;
    }
}

// The camera speaks only whole, well-formed frames.
void check_camera_output(const Bytes& received) {
    size_t at = 0;
    while (at < received.size()) {
        FUZZ_CHECK(received.size() - at >= kFrameHeaderSize);
        FrameHeader header;
        FUZZ_CHECK(decode_frame_header(received.data() + at, header) == HeaderCheck::Ok);
        FUZZ_CHECK(received.size() - at - kFrameHeaderSize >= header.length);
        if (header.kind == static_cast<uint16_t>(Kind::Result)) FUZZ_CHECK(header.length >= 4);
        at += kFrameHeaderSize + header.length;
    }
}

// The client's end: reads the hello, then sends its bytes, then reads until the camera ends
// the connection. Returns everything the camera sent.
Bytes converse(int fd, bool log_in, const Bytes& input) {
    Bytes received;
    Bytes to_send;
    bool greeted = false;
    bool shut = false;
    size_t sent = 0;
    for (;;) {
        const bool writing = greeted && sent < to_send.size();
        pollfd p{fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
        const int ready = ::poll(&p, 1, kSilenceLimitMs);
        if (ready < 0 && errno == EINTR) continue;  // the fuzzer's own timer
        FUZZ_CHECK(ready > 0);
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            uint8_t buffer[16384];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n == 0) break;
            if (n < 0 && errno != EAGAIN && errno != EINTR) break;
            if (n > 0) received.insert(received.end(), buffer, buffer + n);
        }
        if (!greeted && received.size() >= kFrameHeaderSize + 36) {
            FrameHeader header;
            Hello hello;
            FUZZ_CHECK(decode_frame_header(received.data(), header) == HeaderCheck::Ok);
            FUZZ_CHECK(header.kind == static_cast<uint16_t>(Kind::Hello));
            FUZZ_CHECK(decode(ByteView(received).subspan(kFrameHeaderSize, header.length), hello));
            if (log_in) {
                LoginRequest login{kProtocolMajor, kProtocolMinor, kUser, random_nonce(), {}};
                login.proof = login_proof(kUser, kPassword, hello.nonce, login.client_nonce);
                to_send = support::frame_bytes(Kind::Login, 1, encode(login));
            }
            to_send.insert(to_send.end(), input.begin(), input.end());
            greeted = true;
        }
        if (writing && (p.revents & POLLOUT)) {
            const ssize_t n = ::send(fd, to_send.data() + sent, to_send.size() - sent, MSG_NOSIGNAL);
            if (n > 0) sent += static_cast<size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR) sent = to_send.size();  // the camera hung up
        }
        if (greeted && sent == to_send.size() && !shut) {
            ::shutdown(fd, SHUT_WR);
            shut = true;
        }
    }
    return received;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FUZZ_CHECK(crypto_ready());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const bool log_in = (in.byte() & 1) != 0;
    const ByteView rest = in.rest();
    Bytes input(rest.begin(), rest.end());
    sign_upgrade_starts(input);

    static const CameraConfig config = camera_config();
    SimCamera camera(config);
    OneCamera host;
    int fds[2];
    FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) == 0);
    std::thread device([&camera, &host, fd = fds[0]] {
        DeviceSession session(fd, DeviceContext{camera, host, 0});
        session.run();
    });
    const Bytes received = converse(fds[1], log_in, input);
    device.join();
    ::close(fds[1]);

    check_camera_output(received);
    const DeviceState state = camera.device_state();
    FUZZ_CHECK(state.active_logins == 0 && host.logins == 0);
    if (state.upgrading) {
        const DeviceRecord record = camera.device_record();
        FUZZ_CHECK(std::any_of(record.upgrades.begin(), record.upgrades.end(),
                               [](const DeviceRecord::Upgrade& u) { return u.outcome == "complete"; }));
    }
    return 0;
}
