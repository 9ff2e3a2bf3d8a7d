#pragma once
#include "devsdk/protocol/Wire.h"

#include <cstdint>

// Every message on the device connection is one frame: a 12-byte header and a payload.
//   0  u16  magic 0x564F ("OV" on the wire)
//   2  u16  kind
//   4  u32  request id (0 for messages that expect no answer)
//   8  u32  payload length
namespace ovix {

constexpr uint16_t kFrameMagic = 0x564F;
constexpr size_t kFrameHeaderSize = 12;
// Large enough for a raw 1024x1024 picture; anything longer is a broken or hostile peer.
constexpr uint32_t kMaxPayload = 4u << 20;

constexpr uint16_t kProtocolMajor = 1;
constexpr uint16_t kProtocolMinor = 0;

enum class Kind : uint16_t {
    Hello = 0x01,            // device -> client on connect
    Login = 0x02,            // client -> device, answered
    Result = 0x03,           // device -> client: the answer to request `id`
    Logout = 0x04,           // client -> device, no answer
    Ping = 0x05,             // client -> device, answered
    GetConfig = 0x10,
    SetConfig = 0x11,
    DeviceControl = 0x12,
    LdrControl = 0x13,
    IrcutControl = 0x14,
    PtzControl = 0x15,
    PlayVoice = 0x16,
    GetCapability = 0x17,
    UpgradeStart = 0x20,     // answered before any data moves
    UpgradeData = 0x21,      // client -> device, no answer
    UpgradeAbort = 0x22,     // client -> device, no answer
    UpgradeProgress = 0x23,  // device -> client, pushed
    LiveStart = 0x30,
    LiveStop = 0x31,
    LiveControl = 0x32,
    VideoFrame = 0x33,       // device -> client, pushed
    AudioFrame = 0x34,       // device -> client, pushed while the microphone is open
    Event = 0x40,            // device -> client, pushed
};

struct FrameHeader {
    uint16_t kind = 0;
    uint32_t id = 0;
    uint32_t length = 0;
};

struct Frame {
    uint16_t kind = 0;
    uint32_t id = 0;
    Bytes payload;
};

void encode_frame_header(const FrameHeader& header, uint8_t out[kFrameHeaderSize]);

enum class HeaderCheck { Ok, BadMagic, TooLong };
HeaderCheck decode_frame_header(const uint8_t in[kFrameHeaderSize], FrameHeader& out);

const char* kind_name(uint16_t kind);

} // namespace ovix
