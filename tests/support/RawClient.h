#pragma once
// The device protocol below the client library, for tests that break its rules: frames as
// bytes with a length that may lie, bytes dribbled one at a time, and a bare connection to a
// camera's command port.
#include "devsdk/protocol/Frame.h"
#include "devsdk/protocol/FrameStream.h"
#include "devsdk/protocol/LoginProof.h"
#include "devsdk/protocol/Messages.h"
#include "devsdk/protocol/Socket.h"
#include "foundation/Clock.h"

#include <sys/socket.h>

#include <string>

namespace support {

inline ovix::Bytes frame_bytes(uint16_t kind, uint32_t id, const ovix::Bytes& payload, uint32_t claimed_length) {
    ovix::Bytes out(ovix::kFrameHeaderSize);
    ovix::encode_frame_header({kind, id, claimed_length}, out.data());
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}
inline ovix::Bytes frame_bytes(ovix::Kind kind, uint32_t id, const ovix::Bytes& payload) {
    return frame_bytes(static_cast<uint16_t>(kind), id, payload, static_cast<uint32_t>(payload.size()));
}

// One byte at a time, `gap_ms` apart.
inline void dribble(int fd, const ovix::Bytes& bytes, int64_t gap_ms) {
    for (uint8_t byte : bytes) {
        ::send(fd, &byte, 1, MSG_NOSIGNAL);
        Clock::sleep_ms(gap_ms);
    }
}

// A client's connection to a camera that has read the camera's hello.
struct RawClient {
    static constexpr int32_t kNoAnswer = -1000;

    RawClient(const std::string& ip, uint16_t port) : stream(ovix::tcp_connect(ip, port, Clock::now_ms() + 5000, nullptr)) {
        ovix::Frame frame;
        if (stream.fd() >= 0 && stream.read(frame, Clock::now_ms() + 5000) == ovix::Io::Ok) ovix::decode(frame.payload, hello);
    }
    int fd() const { return stream.fd(); }
    void send(const ovix::Bytes& bytes) const { ::send(fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Admin's login payload for this connection's hello.
    ovix::Bytes login(const std::string& password = "", uint16_t major = ovix::kProtocolMajor) const {
        ovix::LoginRequest request{major, ovix::kProtocolMinor, "Admin", ovix::random_nonce(), {}};
        request.proof = ovix::login_proof("Admin", password, hello.nonce, request.client_nonce);
        return ovix::encode(request);
    }
    // The next answer to `id`, pushed frames skipped; kNoAnswer when none comes.
    ovix::Answer answer(uint32_t id) {
        for (ovix::Frame frame; stream.read(frame, Clock::now_ms() + 5000) == ovix::Io::Ok;) {
            ovix::Answer a;
            if (frame.kind == static_cast<uint16_t>(ovix::Kind::Result) && frame.id == id && ovix::decode(frame.payload, a)) return a;
        }
        return ovix::Answer{kNoAnswer, {}};
    }
    ovix::Answer ask(uint16_t kind, uint32_t id, const ovix::Bytes& payload = {}) {
        send(frame_bytes(kind, id, payload, static_cast<uint32_t>(payload.size())));
        return answer(id);
    }
    int32_t log_in() { return ask(static_cast<uint16_t>(ovix::Kind::Login), 1, login()).result; }
    // The camera has closed or reset the connection; what it sent before is skipped.
    bool hung_up() {
        ovix::Frame frame;
        ovix::Io io = ovix::Io::Ok;
        while ((io = stream.read(frame, Clock::now_ms() + 60000)) == ovix::Io::Ok) {}
        return io == ovix::Io::Closed || io == ovix::Io::Failed;
    }

    ovix::FrameStream stream;
    ovix::Hello hello;
};

} // namespace support
