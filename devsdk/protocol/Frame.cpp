#include "devsdk/protocol/Frame.h"

namespace ovix {

void encode_frame_header(const FrameHeader& header, uint8_t out[kFrameHeaderSize]) {
    out[0] = static_cast<uint8_t>(kFrameMagic & 0xFF);
    out[1] = static_cast<uint8_t>(kFrameMagic >> 8);
    out[2] = static_cast<uint8_t>(header.kind & 0xFF);
    out[3] = static_cast<uint8_t>(header.kind >> 8);
    store_u32(out + 4, header.id);
    store_u32(out + 8, header.length);
}

HeaderCheck decode_frame_header(const uint8_t in[kFrameHeaderSize], FrameHeader& out) {
    uint16_t magic = static_cast<uint16_t>(in[0] | in[1] << 8);
    if (magic != kFrameMagic) return HeaderCheck::BadMagic;
    out.kind = static_cast<uint16_t>(in[2] | in[3] << 8);
    out.id = load_u32(in + 4);
    out.length = load_u32(in + 8);
    return out.length > kMaxPayload ? HeaderCheck::TooLong : HeaderCheck::Ok;
}

const char* kind_name(uint16_t kind) {
    switch (static_cast<Kind>(kind)) {
    case Kind::Hello: return "hello";
    case Kind::Login: return "login";
    case Kind::Result: return "result";
    case Kind::Logout: return "logout";
    case Kind::Ping: return "ping";
    case Kind::GetConfig: return "get-config";
    case Kind::SetConfig: return "set-config";
    case Kind::DeviceControl: return "device-control";
    case Kind::LdrControl: return "ldr-control";
    case Kind::IrcutControl: return "ircut-control";
    case Kind::PtzControl: return "ptz-control";
    case Kind::PlayVoice: return "play-voice";
    case Kind::GetCapability: return "get-capability";
    case Kind::UpgradeStart: return "upgrade-start";
    case Kind::UpgradeData: return "upgrade-data";
    case Kind::UpgradeAbort: return "upgrade-abort";
    case Kind::UpgradeProgress: return "upgrade-progress";
    case Kind::LiveStart: return "live-start";
    case Kind::LiveStop: return "live-stop";
    case Kind::LiveControl: return "live-control";
    case Kind::VideoFrame: return "video-frame";
    case Kind::AudioFrame: return "audio-frame";
    case Kind::Event: return "event";
    }
    return "unknown";
}

} // namespace ovix
