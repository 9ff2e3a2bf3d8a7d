// The device SDK's frame reader, on both ends of every connection: bytes arrive in pieces of
// a size the input chooses, into a read buffer of a size it chooses, and the frames read must
// be exactly those a plain walk over the bytes finds, ending where that walk ends.
#include "devsdk/protocol/Frame.h"
#include "devsdk/protocol/FrameStream.h"
#include "foundation/Clock.h"
#include "tests/fuzz/FuzzSupport.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

using namespace ovix;

namespace {

struct Expected {
    std::vector<Frame> frames;
    Io end = Io::Closed;
};

// Whole frames in order; a bad header ends the stream as garbage, a cut frame as a close.
Expected walk(std::span<const uint8_t> bytes) {
    Expected expected;
    size_t at = 0;
    while (bytes.size() - at >= kFrameHeaderSize) {
        const uint8_t* h = bytes.data() + at;
        if ((h[0] | h[1] << 8) != kFrameMagic || load_u32(h + 8) > kMaxPayload) {
            expected.end = Io::Garbage;
            break;
        }
        const size_t length = load_u32(h + 8);
        if (bytes.size() - at - kFrameHeaderSize < length) break;
        Frame frame;
        frame.kind = static_cast<uint16_t>(h[2] | h[3] << 8);
        frame.id = load_u32(h + 4);
        frame.payload.assign(h + kFrameHeaderSize, h + kFrameHeaderSize + length);
        expected.frames.push_back(std::move(frame));
        at += kFrameHeaderSize + length;
    }
    return expected;
}

bool write_all(int fd, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes = bytes.subspan(static_cast<size_t>(n));
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const size_t read_buffer = in.byte();        // 0 to 255: every frame outgrows it
    const size_t piece = 1 + in.byte();          // bytes the peer sends at a time
    const std::span<const uint8_t> bytes = in.rest();
    const Expected expected = walk(bytes);

    int fds[2];
    FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
    FUZZ_CHECK(::fcntl(fds[0], F_SETFL, O_NONBLOCK) == 0);
    FrameStream stream(fds[0], read_buffer);

    size_t sent = 0;
    size_t got = 0;
    Io io = Io::Ok;
    for (;;) {
        if (sent < bytes.size()) {
            const size_t n = std::min(piece, bytes.size() - sent);
            FUZZ_CHECK(write_all(fds[1], bytes.subspan(sent, n)));
            sent += n;
            if (sent == bytes.size()) ::shutdown(fds[1], SHUT_WR);
        } else if (bytes.empty()) {
            ::shutdown(fds[1], SHUT_WR);
        }
        // A deadline already past: take what has arrived, never wait.
        Frame frame;
        while ((io = stream.read(frame, Clock::now_ms() - 1)) == Io::Ok) {
            FUZZ_CHECK(got < expected.frames.size());
            const Frame& want = expected.frames[got++];
            FUZZ_CHECK(frame.kind == want.kind && frame.id == want.id && frame.payload == want.payload);
        }
        if (io != Io::Timeout) break;
        FUZZ_CHECK(sent < bytes.size());  // everything sent and shut: the reader must see the end
    }
    FUZZ_CHECK(io == expected.end);
    FUZZ_CHECK(got == expected.frames.size());
    ::close(fds[1]);
    return 0;
}
