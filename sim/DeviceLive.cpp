// A camera's live view: streams of the synthetic picture at the rate and zoom the client asks,
// and while the microphone is open, a steady test tone.
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/VideoCodec.h"
#include "foundation/Clock.h"
#include "sim/DeviceSession.h"
#include "sim/SyntheticPicture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <linux/sockios.h>
#include <sys/ioctl.h>

using namespace ovix;

namespace {

constexpr size_t kMaxStreams = 4;
// A picture that would queue behind this much unsent data is dropped (its sequence number
// leaves a gap), so that a slow viewer never holds up the answers to requests.
constexpr int kMaxQueuedBytes = 512 * 1024;

// The microphone hears a 1 kHz tone at a quarter of full scale, sent in 40 ms chunks.
constexpr uint32_t kSoundRate = 8000;
constexpr uint32_t kToneHz = 1000;
constexpr int64_t kChunkMs = 40;
constexpr size_t kChunkSamples = kSoundRate * kChunkMs / 1000;
constexpr double kToneAmplitude = 8000.0;
// Whole periods in every chunk: each chunk is the same and the tone runs on without a jump.
static_assert(kSoundRate % kToneHz == 0 && kChunkSamples % (kSoundRate / kToneHz) == 0);

bool send_queue_full(int fd) {
    int queued = 0;
    return ::ioctl(fd, SIOCOUTQ, &queued) == 0 && queued > kMaxQueuedBytes;
}

// The samples of one chunk, computed once.
const Bytes& tone_chunk() {
    static const Bytes chunk = [] {
        Bytes out;
        ByteWriter w(out);
        for (size_t n = 0; n < kChunkSamples; ++n) {
            const double phase = 2.0 * std::numbers::pi * kToneHz * static_cast<double>(n) / kSoundRate;
            w.u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(kToneAmplitude * std::sin(phase)))));
        }
        return out;
    }();
    return chunk;
}

} // namespace

DeviceSession::LiveStream* DeviceSession::find_stream(uint32_t id) {
    for (LiveStream& stream : m_streams)
        if (stream.id == id) return &stream;
    return nullptr;
}

Answer DeviceSession::live_start(const Frame& frame) {
    LiveStart request;
    if (!decode(frame.payload, request) || request.channel != 0 || (request.stream != 1 && request.stream != 2))
        return Answer{OVIX_ERR_BAD_REQUEST, {}};
    if (m_streams.size() >= kMaxStreams) return Answer{OVIX_ERR_BUSY, {}};
    LiveStream stream;
    stream.id = m_next_stream_id++;
    stream.width = request.stream == 1 ? 640 : 320;
    stream.height = request.stream == 1 ? 360 : 180;
    stream.next_due = Clock::now_ms();
    m_device.camera.update([&](CameraView& view) {
        // A fleet built in code is not checked as a file is.
        stream.own_rate = std::clamp(view.current.device.frame_rate, 1, kMaxFrameRate);
        push_recent(view.record.live, DeviceRecord::Live{stream.id, 0, {request.channel, request.stream, 0}});
    });
    m_streams.push_back(stream);
    return Answer{OVIX_OK, encode_u32(stream.id)};
}

Answer DeviceSession::live_stop(const Frame& frame) {
    uint32_t id = 0;
    if (!decode_u32(frame.payload, id) || !find_stream(id)) return Answer{OVIX_ERR_BAD_REQUEST, {}};
    std::erase_if(m_streams, [id](const LiveStream& s) { return s.id == id; });
    m_device.camera.update([&](CameraView& view) { push_recent(view.record.live, DeviceRecord::Live{id, -1, {}}); });
    return Answer{OVIX_OK, {}};
}

Answer DeviceSession::live_control(const Frame& frame) {
    LiveControl request;
    if (!decode(frame.payload, request)) return Answer{OVIX_ERR_BAD_REQUEST, {}};
    LiveStream* stream = find_stream(request.stream_id);
    if (!stream) return Answer{OVIX_ERR_BAD_REQUEST, {}};
    ByteReader argument(request.argument);
    DeviceRecord::Live entry{request.stream_id, request.command, {}};
    int32_t result = OVIX_OK;
    switch (request.command) {
    case OVIX_LIVE_MIC_OPEN:
    case OVIX_LIVE_MIC_CLOSE:
        break;
    case OVIX_LIVE_FRAME_RATE: {
        const int32_t rate = argument.i32();
        entry.values[0] = rate;
        if (!argument.ok() || rate < 0 || rate > kMaxFrameRate) result = OVIX_ERR_BAD_REQUEST;
        else stream->rate = rate;
        break;
    }
    case OVIX_LIVE_ZOOM: {
        for (int32_t& value : entry.values) value = argument.i32();
        // The centre is in the viewer's window pixels, which the camera cannot map: it zooms
        // about the middle of its picture.
        if (!argument.ok() || entry.values[0] < 0 || entry.values[0] > 1000) result = OVIX_ERR_BAD_REQUEST;
        else stream->zoom = entry.values[0] == 0 ? 200 : std::max(200, entry.values[0]);
        break;
    }
    default: result = OVIX_ERR_UNSUPPORTED;
    }
    m_device.camera.update([&](CameraView& view) {
        push_recent(view.record.live, entry);
        if (result != OVIX_OK) return;
        if (request.command == OVIX_LIVE_MIC_OPEN || request.command == OVIX_LIVE_MIC_CLOSE) {
            if (!view.current.device.capability.microphone) result = OVIX_ERR_UNSUPPORTED;
            else view.state.microphone_open = request.command == OVIX_LIVE_MIC_OPEN;
        }
    });
    if (result == OVIX_OK && request.command == OVIX_LIVE_MIC_OPEN && !stream->microphone) {
        stream->microphone = true;
        stream->audio_due = Clock::now_ms() + kChunkMs;  // the first chunk once it has been heard
    } else if (result == OVIX_OK && request.command == OVIX_LIVE_MIC_CLOSE) {
        stream->microphone = false;
    }
    return Answer{result, {}};
}

void DeviceSession::send_due_pictures(int64_t now) {
    for (LiveStream& stream : m_streams) {
        if (stream.next_due > now) continue;
        const int64_t interval = 1000 / (stream.rate > 0 ? stream.rate : stream.own_rate);
        stream.next_due += interval;
        // A late session takes up the beat again instead of sending the pictures it missed.
        if (stream.next_due <= now) stream.next_due = now + interval;
        const uint32_t sequence = stream.sequence++;

        if (send_queue_full(m_connection.stream.fd())) continue;
        PictureShape shape;
        shape.width = stream.width;
        shape.height = stream.height;
        shape.mac = m_device.camera.mac();
        shape.zoom = stream.zoom;
        m_device.camera.update([&](CameraView& view) { shape.device_time_ms = device_time_ms(view.state); });
        render_picture(shape, m_pixels);
        const Bytes picture = encode_rle32(m_pixels.data(), shape.width, shape.height);
        VideoFrameHeader header;
        header.stream_id = stream.id;
        header.sequence = sequence;
        header.timestamp_ms = static_cast<uint64_t>(shape.device_time_ms);
        header.width = shape.width;
        header.height = shape.height;
        header.codec = kCodecRle32;
        const Bytes head = encode(header);
        if (m_connection.push(Kind::VideoFrame, head, picture) != Io::Ok) return;
        carry(kFrameHeaderSize + head.size() + picture.size());
    }
}

void DeviceSession::send_due_sound(int64_t now) {
    for (LiveStream& stream : m_streams) {
        if (!stream.microphone || stream.audio_due > now) continue;
        stream.audio_due += kChunkMs;
        // As with pictures: a late session takes up the beat again rather than catching up.
        if (stream.audio_due <= now) stream.audio_due = now + kChunkMs;
        const uint32_t sequence = stream.audio_sequence++;
        if (send_queue_full(m_connection.stream.fd())) continue;

        AudioFrameHeader header;
        header.stream_id = stream.id;
        header.sequence = sequence;
        m_device.camera.update(
            [&](CameraView& view) { header.timestamp_ms = static_cast<uint64_t>(device_time_ms(view.state)); });
        header.sample_rate = kSoundRate;
        header.channels = 1;
        header.format = kAudioS16le;
        const Bytes head = encode(header);
        const Bytes& samples = tone_chunk();
        if (m_connection.push(Kind::AudioFrame, head, samples) != Io::Ok) return;
        carry(kFrameHeaderSize + head.size() + samples.size());
    }
}
