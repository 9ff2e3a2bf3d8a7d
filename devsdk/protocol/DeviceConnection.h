#pragma once
#include "devsdk/protocol/FrameStream.h"
#include "devsdk/protocol/Messages.h"

#include <mutex>

// The device's end of one connection: frames in through the stream, answers and pushed
// frames out, one writer at a time. Shared by the simulated cameras and the tests' fake device.
namespace ovix {

class DeviceConnection {
public:
    explicit DeviceConnection(int fd) : stream(fd) {}
    DeviceConnection(const DeviceConnection&) = delete;
    DeviceConnection& operator=(const DeviceConnection&) = delete;

    // Each returns the outcome of the write; a slow peer gets kWriteStallMs to take a byte.
    Io hello(const Nonce& nonce, uint16_t major = kProtocolMajor);
    Io answer(const Frame& request, int32_t result, ByteView data = {});
    Io push(Kind kind, ByteView payload, ByteView more = {});
    // Bytes that are not a frame, for hostile peers in tests.
    void send_raw(ByteView bytes);

    // Wakes the reader and refuses further traffic; safe from any thread.
    void shutdown() { stream.shutdown(); }
    // The peer sees a reset instead of an orderly close. The descriptor stays valid (it then
    // refers to /dev/null) until the stream is destroyed, so no other thread can mistake it.
    void reset();

    FrameStream stream;

private:
    std::mutex m_write_mutex;
};

} // namespace ovix
