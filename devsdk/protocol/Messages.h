#pragma once
#include "devsdk/protocol/Wire.h"

#include <array>
#include <cstdint>
#include <string>

// Payloads of the frame kinds (Frame.h), each with its encoder and decoder. Decoders
// refuse payloads that are too short and ignore bytes beyond the fields they know, so
// that a later minor version may append fields.
namespace ovix {

using Nonce = std::array<uint8_t, 32>;
using Proof = std::array<uint8_t, 32>;
constexpr size_t kUserFieldSize = 32;
constexpr size_t kFirmwareHeaderSize = 456;
using FirmwareHeaderBytes = std::array<uint8_t, kFirmwareHeaderSize>;

struct Hello {
    uint16_t major = 0;
    uint16_t minor = 0;
    Nonce nonce{};
};

struct LoginRequest {
    uint16_t major = 0;
    uint16_t minor = 0;
    std::string user;
    Nonce client_nonce{};
    Proof proof{};
};

// The answer to every request: a result and the data that goes with it.
struct Answer {
    int32_t result = 0;
    Bytes data;
};

struct ConfigGet {
    int32_t command = 0;
    int32_t channel = 0;
    int32_t length = 0;  // the most the client can take
};

struct ConfigSet {
    int32_t command = 0;
    int32_t channel = 0;
    Bytes data;
};

struct DeviceControl {
    int32_t command = 0;
    int32_t channel = 0;
    int32_t value1 = 0;
    int32_t value2 = 0;
};

// LDR control. IR-cut and voice carry a single int32 (encode_i32).
struct CodeValue {
    int32_t code = 0;
    int32_t value = 0;
};

struct PtzRequest {
    int32_t channel = 0;
    int32_t action = 0;
    int32_t direction = 0;
    int32_t speed = 0;
};

struct UpgradeStart {
    uint64_t file_size = 0;
    FirmwareHeaderBytes header{};
};

// The longest firmware image a device takes. An upgrade start announcing more is refused as
// damaged (10) before anything is held for it.
constexpr uint64_t kMaxFirmwareImage = uint64_t{1} << 30;

constexpr int32_t kUpgradeReceiving = 0;
constexpr int32_t kUpgradeComplete = -1;

// state: kUpgradeReceiving, kUpgradeComplete (whole file held and verified), or the
// positive result code that ended the transfer (for example 10, damaged image).
struct UpgradeProgress {
    uint64_t received = 0;
    uint64_t total = 0;
    int32_t state = kUpgradeReceiving;
};

struct LiveStart {
    int32_t channel = 0;
    int32_t stream = 0;
};

struct LiveControl {
    uint32_t stream_id = 0;
    int32_t command = 0;
    Bytes argument;
};

struct VideoFrameHeader {
    uint32_t stream_id = 0;
    uint32_t sequence = 0;
    uint64_t timestamp_ms = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t codec = 0;
};
constexpr size_t kVideoFrameHeaderSize = 24;

// Sound from the device's microphone. The only format: signed 16-bit little-endian PCM,
// channels interleaved. The limits keep a lying header from asking for absurd buffers.
enum : uint16_t { kAudioS16le = 1 };
constexpr uint32_t kMinAudioSampleRate = 1000;
constexpr uint32_t kMaxAudioSampleRate = 96000;
constexpr uint16_t kMaxAudioChannels = 8;
constexpr size_t kMaxAudioBytes = 64 * 1024;

struct AudioFrameHeader {
    uint32_t stream_id = 0;
    uint32_t sequence = 0;
    uint64_t timestamp_ms = 0;
    uint32_t sample_rate = 0;
    uint16_t channels = 0;
    uint16_t format = kAudioS16le;
};
constexpr size_t kAudioFrameHeaderSize = 24;

struct DeviceEvent {
    int32_t main = 0;
    int32_t sub = 0;
    int32_t value = 0;
    std::string text;  // at most 47 bytes arrive at the callback
};

Bytes encode(const Hello& m);
Bytes encode(const LoginRequest& m);
Bytes encode(const Answer& m);
Bytes encode(const ConfigGet& m);
Bytes encode(const ConfigSet& m);
Bytes encode(const DeviceControl& m);
Bytes encode(const CodeValue& m);
Bytes encode(const PtzRequest& m);
Bytes encode(const UpgradeStart& m);
Bytes encode(const UpgradeProgress& m);
Bytes encode(const LiveStart& m);
Bytes encode(const LiveControl& m);
Bytes encode(const DeviceEvent& m);
// The fixed part only; the picture data follows it in the same payload.
Bytes encode(const VideoFrameHeader& m);
// The fixed part only; the samples follow it in the same payload.
Bytes encode(const AudioFrameHeader& m);
Bytes encode_u32(uint32_t v);
Bytes encode_i32(int32_t v);

bool decode(ByteView in, Hello& m);
bool decode(ByteView in, LoginRequest& m);
bool decode(ByteView in, Answer& m);
bool decode(ByteView in, ConfigGet& m);
bool decode(ByteView in, ConfigSet& m);
bool decode(ByteView in, DeviceControl& m);
bool decode(ByteView in, CodeValue& m);
bool decode(ByteView in, PtzRequest& m);
bool decode(ByteView in, UpgradeStart& m);
bool decode(ByteView in, UpgradeProgress& m);
bool decode(ByteView in, LiveStart& m);
bool decode(ByteView in, LiveControl& m);
bool decode(ByteView in, DeviceEvent& m);
// `picture` is set to the bytes after the fixed part.
bool decode(ByteView in, VideoFrameHeader& m, ByteView& picture);
// `samples` is set to the bytes after the fixed part. Refused unless the format is known, rate
// and channels are within the limits, and the samples are one or more whole frames.
bool decode(ByteView in, AudioFrameHeader& m, ByteView& samples);
bool decode_u32(ByteView in, uint32_t& v);
bool decode_i32(ByteView in, int32_t& v);

} // namespace ovix
