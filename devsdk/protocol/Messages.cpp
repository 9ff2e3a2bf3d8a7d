#include "devsdk/protocol/Messages.h"

#include <algorithm>

namespace ovix {

namespace {

template <size_t N>
void get_array(ByteReader& r, std::array<uint8_t, N>& out) {
    ByteView v = r.bytes(N);
    if (v.size() == N) std::copy(v.begin(), v.end(), out.begin());
}

} // namespace

Bytes encode(const Hello& m) {
    Bytes out;
    ByteWriter w(out);
    w.u16(m.major);
    w.u16(m.minor);
    w.bytes(m.nonce);
    return out;
}

bool decode(ByteView in, Hello& m) {
    ByteReader r(in);
    m.major = r.u16();
    m.minor = r.u16();
    get_array(r, m.nonce);
    return r.ok();
}

Bytes encode(const LoginRequest& m) {
    Bytes out;
    ByteWriter w(out);
    w.u16(m.major);
    w.u16(m.minor);
    w.text(m.user, kUserFieldSize);
    w.bytes(m.client_nonce);
    w.bytes(m.proof);
    return out;
}

bool decode(ByteView in, LoginRequest& m) {
    ByteReader r(in);
    m.major = r.u16();
    m.minor = r.u16();
    m.user = r.text(kUserFieldSize);
    get_array(r, m.client_nonce);
    get_array(r, m.proof);
    return r.ok();
}

Bytes encode(const Answer& m) {
    Bytes out;
    ByteWriter w(out);
    w.i32(m.result);
    w.bytes(m.data);
    return out;
}

bool decode(ByteView in, Answer& m) {
    ByteReader r(in);
    m.result = r.i32();
    ByteView rest = r.rest();
    m.data.assign(rest.begin(), rest.end());
    return r.ok();
}

Bytes encode(const ConfigGet& m) {
    Bytes out;
    ByteWriter w(out);
    w.i32(m.command);
    w.i32(m.channel);
    w.i32(m.length);
    return out;
}

bool decode(ByteView in, ConfigGet& m) {
    ByteReader r(in);
    m.command = r.i32();
    m.channel = r.i32();
    m.length = r.i32();
    return r.ok();
}

Bytes encode(const ConfigSet& m) {
    Bytes out;
    ByteWriter w(out);
    w.i32(m.command);
    w.i32(m.channel);
    w.bytes(m.data);
    return out;
}

bool decode(ByteView in, ConfigSet& m) {
    ByteReader r(in);
    m.command = r.i32();
    m.channel = r.i32();
    ByteView rest = r.rest();
    m.data.assign(rest.begin(), rest.end());
    return r.ok();
}

Bytes encode(const DeviceControl& m) {
    Bytes out;
    ByteWriter w(out);
    w.i32(m.command);
    w.i32(m.channel);
    w.i32(m.value1);
    w.i32(m.value2);
    return out;
}

bool decode(ByteView in, DeviceControl& m) {
    ByteReader r(in);
    m.command = r.i32();
    m.channel = r.i32();
    m.value1 = r.i32();
    m.value2 = r.i32();
    return r.ok();
}

Bytes encode(const CodeValue& m) {
    Bytes out;
    ByteWriter w(out);
    w.i32(m.code);
    w.i32(m.value);
    return out;
}

bool decode(ByteView in, CodeValue& m) {
    ByteReader r(in);
    m.code = r.i32();
    m.value = r.i32();
    return r.ok();
}

Bytes encode(const PtzRequest& m) {
    Bytes out;
    ByteWriter w(out);
    w.i32(m.channel);
    w.i32(m.action);
    w.i32(m.direction);
    w.i32(m.speed);
    return out;
}

bool decode(ByteView in, PtzRequest& m) {
    ByteReader r(in);
    m.channel = r.i32();
    m.action = r.i32();
    m.direction = r.i32();
    m.speed = r.i32();
    return r.ok();
}

Bytes encode(const UpgradeStart& m) {
    Bytes out;
    ByteWriter w(out);
    w.u64(m.file_size);
    w.bytes(m.header);
    return out;
}

bool decode(ByteView in, UpgradeStart& m) {
    ByteReader r(in);
    m.file_size = r.u64();
    get_array(r, m.header);
    return r.ok();
}

Bytes encode(const UpgradeProgress& m) {
    Bytes out;
    ByteWriter w(out);
    w.u64(m.received);
    w.u64(m.total);
    w.i32(m.state);
    return out;
}

bool decode(ByteView in, UpgradeProgress& m) {
    ByteReader r(in);
    m.received = r.u64();
    m.total = r.u64();
    m.state = r.i32();
    return r.ok();
}

Bytes encode(const LiveStart& m) {
    Bytes out;
    ByteWriter w(out);
    w.i32(m.channel);
    w.i32(m.stream);
    return out;
}

bool decode(ByteView in, LiveStart& m) {
    ByteReader r(in);
    m.channel = r.i32();
    m.stream = r.i32();
    return r.ok();
}

Bytes encode(const LiveControl& m) {
    Bytes out;
    ByteWriter w(out);
    w.u32(m.stream_id);
    w.i32(m.command);
    w.bytes(m.argument);
    return out;
}

bool decode(ByteView in, LiveControl& m) {
    ByteReader r(in);
    m.stream_id = r.u32();
    m.command = r.i32();
    ByteView rest = r.rest();
    m.argument.assign(rest.begin(), rest.end());
    return r.ok();
}

Bytes encode(const DeviceEvent& m) {
    Bytes out;
    ByteWriter w(out);
    w.i32(m.main);
    w.i32(m.sub);
    w.i32(m.value);
    w.text(m.text, 48);
    return out;
}

bool decode(ByteView in, DeviceEvent& m) {
    ByteReader r(in);
    m.main = r.i32();
    m.sub = r.i32();
    m.value = r.i32();
    m.text = r.text(48);
    return r.ok();
}

Bytes encode(const VideoFrameHeader& m) {
    Bytes out;
    ByteWriter w(out);
    w.u32(m.stream_id);
    w.u32(m.sequence);
    w.u64(m.timestamp_ms);
    w.u16(m.width);
    w.u16(m.height);
    w.u16(m.codec);
    w.u16(0);
    return out;
}

bool decode(ByteView in, VideoFrameHeader& m, ByteView& picture) {
    ByteReader r(in);
    m.stream_id = r.u32();
    m.sequence = r.u32();
    m.timestamp_ms = r.u64();
    m.width = r.u16();
    m.height = r.u16();
    m.codec = r.u16();
    r.u16();
    picture = r.rest();
    return r.ok();
}

Bytes encode(const AudioFrameHeader& m) {
    Bytes out;
    ByteWriter w(out);
    w.u32(m.stream_id);
    w.u32(m.sequence);
    w.u64(m.timestamp_ms);
    w.u32(m.sample_rate);
    w.u16(m.channels);
    w.u16(m.format);
    return out;
}

bool decode(ByteView in, AudioFrameHeader& m, ByteView& samples) {
    ByteReader r(in);
    m.stream_id = r.u32();
    m.sequence = r.u32();
    m.timestamp_ms = r.u64();
    m.sample_rate = r.u32();
    m.channels = r.u16();
    m.format = r.u16();
    samples = r.rest();
    if (!r.ok() || m.format != kAudioS16le) return false;
    if (m.sample_rate < kMinAudioSampleRate || m.sample_rate > kMaxAudioSampleRate) return false;
    if (m.channels == 0 || m.channels > kMaxAudioChannels) return false;
    const size_t frame_bytes = size_t{m.channels} * 2;
    return !samples.empty() && samples.size() <= kMaxAudioBytes && samples.size() % frame_bytes == 0;
}

Bytes encode_u32(uint32_t v) {
    Bytes out;
    ByteWriter(out).u32(v);
    return out;
}

Bytes encode_i32(int32_t v) {
    Bytes out;
    ByteWriter(out).i32(v);
    return out;
}

bool decode_u32(ByteView in, uint32_t& v) {
    ByteReader r(in);
    v = r.u32();
    return r.ok();
}

bool decode_i32(ByteView in, int32_t& v) {
    ByteReader r(in);
    v = r.i32();
    return r.ok();
}

} // namespace ovix
