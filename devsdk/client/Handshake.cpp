#include "devsdk/client/Handshake.h"

#include "devsdk/ovix_client.h"
#include "devsdk/protocol/LoginProof.h"
#include "devsdk/protocol/Socket.h"
#include "devsdk/protocol/Timing.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <cstring>

namespace ovix::client {

namespace {

constexpr uint32_t kLoginId = 1;

int32_t read_failure(Io io, int32_t on_timeout) {
    switch (io) {
    case Io::Timeout: return on_timeout;
    case Io::Garbage: return OVIX_ERR_PROTOCOL;
    default: return OVIX_ERR_CONNECT;
    }
}

// The device's greeting, before the connect deadline.
int32_t read_hello(FrameStream& stream, int64_t deadline, Hello& hello) {
    Frame frame;
    Io io = stream.read(frame, deadline);
    if (io != Io::Ok) return read_failure(io, OVIX_ERR_CONNECT);
    if (frame.kind != static_cast<uint16_t>(Kind::Hello) || !decode(frame.payload, hello)) return OVIX_ERR_PROTOCOL;
    if (hello.major != kProtocolMajor) return OVIX_ERR_VERSION;
    return OVIX_OK;
}

// The answer to the login; events that a device pushes meanwhile are skipped.
int32_t read_login_answer(FrameStream& stream, int64_t deadline) {
    for (;;) {
        Frame frame;
        Io io = stream.read(frame, deadline);
        if (io != Io::Ok) return read_failure(io, OVIX_ERR_TIMEOUT);
        if (frame.kind != static_cast<uint16_t>(Kind::Result)) continue;
        Answer answer;
        if (frame.id != kLoginId || !decode(frame.payload, answer) || answer.result < 0) return OVIX_ERR_PROTOCOL;
        return answer.result;
    }
}

} // namespace

int32_t connect_and_log_in(const LoginTarget& target, std::unique_ptr<FrameStream>& out) {
    if (!crypto_ready()) return OVIX_ERR_RESOURCES;
    const int64_t connect_deadline = Clock::now_ms() + kConnectTimeoutMs;
    int error = 0;
    int fd = tcp_connect(target.ip, target.port, connect_deadline, &error);
    if (fd < 0) {
        DEBUG_LOCATION("ovix_client", "connect_and_log_in");
        debug_log("connect to %s:%d failed: %s\n", target.ip.c_str(), target.port, std::strerror(error));
        return OVIX_ERR_CONNECT;
    }
    auto stream = std::make_unique<FrameStream>(fd);

    Hello hello;
    int32_t result = read_hello(*stream, connect_deadline, hello);
    if (result != OVIX_OK) {
        DEBUG_LOCATION("ovix_client", "connect_and_log_in");
        debug_log("no usable greeting from %s:%d, result %d\n", target.ip.c_str(), target.port, result);
        return result;
    }

    LoginRequest login;
    login.major = kProtocolMajor;
    login.minor = kProtocolMinor;
    login.user = target.user;
    login.client_nonce = random_nonce();
    login.proof = login_proof(target.user, target.password, hello.nonce, login.client_nonce);
    Io io = stream->write(Kind::Login, kLoginId, encode(login), kRequestTimeoutMs);
    if (io != Io::Ok) return read_failure(io, OVIX_ERR_TIMEOUT);

    result = read_login_answer(*stream, Clock::now_ms() + kRequestTimeoutMs);
    if (result != OVIX_OK) {
        DEBUG_LOCATION("ovix_client", "connect_and_log_in");
        debug_log("login to %s:%d as %s refused, result %d\n", target.ip.c_str(), target.port, target.user.c_str(),
                  result);
        return result;
    }
    out = std::move(stream);
    return OVIX_OK;
}

} // namespace ovix::client
