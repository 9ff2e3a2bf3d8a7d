#include "devsdk/client/LiveStream.h"

#include "devsdk/protocol/VideoCodec.h"
#include "foundation/debug_log.h"

#include <cstring>

namespace ovix::client {

LiveStream::LiveStream(std::shared_ptr<LoginSession> session, uint32_t stream_id)
    : m_session(std::move(session)), m_stream_id(stream_id) {}

LiveStream::~LiveStream() {
    // Without the stop request: this may run on the login's reader, which a request would block.
    if (!m_stopped) m_session->detach_stream(m_stream_id);
}

int32_t LiveStream::start(const std::shared_ptr<LoginSession>& session, const ovix_live_preview& preview,
                          std::shared_ptr<LiveStream>& out) {
    LiveStart request;
    request.channel = preview.channel;
    request.stream = preview.stream;
    Bytes data;
    int32_t result = session->call(Kind::LiveStart, encode(request), &data);
    if (result != OVIX_OK) return result;
    uint32_t stream_id = 0;
    if (!decode_u32(data, stream_id)) return OVIX_ERR_PROTOCOL;

    std::shared_ptr<LiveStream> stream(new LiveStream(session, stream_id));
    session->attach_stream(stream_id, stream);
    out = std::move(stream);
    return OVIX_OK;
}

void LiveStream::stop() {
    end_delivery();
    if (m_stopped.exchange(true)) return;
    m_session->detach_stream(m_stream_id);
    // From inside the frame callback this request fails at once (the reader cannot wait for
    // its own answer); the device's further pictures then find no stream and are dropped.
    if (m_session->alive()) m_session->call(Kind::LiveStop, encode_u32(m_stream_id));
}

template <class Change>
void LiveStream::with_delivery_held(Change change) {
    if (m_delivering.load() == std::this_thread::get_id()) {
        change();
        return;
    }
    std::lock_guard<std::mutex> lock(m_deliver_mutex);
    change();
}

void LiveStream::end_delivery() {
    with_delivery_held([this] {
        m_ended = true;
        m_target = nullptr;
        m_audio = nullptr;
    });
}

template <class Target>
int32_t LiveStream::set_target(std::atomic<Target*>& slot, Target* target) {
    int32_t result = OVIX_OK;
    with_delivery_held([&] {
        // An ended stream (logged out) has nothing to give; a null target is still fine.
        if (m_ended && target) result = OVIX_ERR_DISCONNECTED;
        else if (!m_ended) slot = target;
    });
    return result;
}

template <class Callback>
void LiveStream::deliver(Callback callback) {
    m_delivering = std::this_thread::get_id();
    callback();
    m_delivering = std::thread::id{};
}

int32_t LiveStream::forward(int32_t command, ByteView argument) {
    LiveControl request;
    request.stream_id = m_stream_id;
    request.command = command;
    request.argument.assign(argument.begin(), argument.end());
    return m_session->call(Kind::LiveControl, encode(request));
}

int32_t LiveStream::control(int32_t command, void* argument) {
    switch (command) {
    case OVIX_LIVE_SET_TARGET:
        if (!argument) return OVIX_ERR_BAD_ARGUMENT;
        return set_target(m_target, *static_cast<OVIX_WINDOW*>(argument));
    case OVIX_LIVE_SET_AUDIO_TARGET:
        if (!argument) return OVIX_ERR_BAD_ARGUMENT;
        return set_target(m_audio, *static_cast<OVIX_AUDIO_TARGET*>(argument));
    case OVIX_LIVE_MIC_OPEN:
    case OVIX_LIVE_MIC_CLOSE:
        return forward(command, {});
    case OVIX_LIVE_FRAME_RATE: {
        if (!argument) return OVIX_ERR_BAD_ARGUMENT;
        int32_t rate;
        std::memcpy(&rate, argument, sizeof rate);
        if (rate < 0) return OVIX_ERR_BAD_ARGUMENT;
        return forward(command, encode_i32(rate));
    }
    case OVIX_LIVE_ZOOM: {
        if (!argument) return OVIX_ERR_BAD_ARGUMENT;
        return forward(command, ByteView(static_cast<const uint8_t*>(argument), sizeof(ovix_zoom)));
    }
    default:
        return OVIX_ERR_BAD_ARGUMENT;
    }
}

void LiveStream::on_frame(const VideoFrameHeader& header, ByteView picture) {
    if (!m_target.load()) return;  // nobody watches: skip the decoding
    std::lock_guard<std::mutex> lock(m_deliver_mutex);
    ovix_render_target* target = m_target.load();  // null once the deliveries ended
    if (!target || !target->on_frame || !picture_size_ok(header.width, header.height)) return;
    m_pixels.resize(size_t{header.width} * header.height);
    if (!decode_picture(header.codec, picture, header.width, header.height, m_pixels.data())) {
        DEBUG_LOCATION("ovix_client", "LiveStream::on_frame");
        debug_log("picture %u of stream %u does not decode\n", header.sequence, m_stream_id);
        return;
    }
    ovix_frame frame{};
    frame.pixels = reinterpret_cast<const uint8_t*>(m_pixels.data());
    frame.width = header.width;
    frame.height = header.height;
    frame.stride = header.width * 4;
    frame.sequence = header.sequence;
    frame.timestamp_ms = static_cast<int64_t>(header.timestamp_ms);
    deliver([&] { target->on_frame(target->context, &frame); });
}

void LiveStream::on_audio(const AudioFrameHeader& header, ByteView samples) {
    if (!m_audio.load()) return;  // nobody listens
    std::lock_guard<std::mutex> lock(m_deliver_mutex);
    ovix_audio_target* target = m_audio.load();  // null once the deliveries ended
    if (!target || !target->on_audio) return;
    m_samples.resize(samples.size() / 2);
    for (size_t i = 0; i < m_samples.size(); ++i)
        m_samples[i] = static_cast<int16_t>(static_cast<uint16_t>(samples[2 * i] | samples[2 * i + 1] << 8));
    ovix_audio audio{};
    audio.samples = m_samples.data();
    audio.frames = static_cast<int32_t>(m_samples.size() / header.channels);
    audio.channels = header.channels;
    audio.sample_rate = static_cast<int32_t>(header.sample_rate);
    audio.sequence = header.sequence;
    audio.timestamp_ms = static_cast<int64_t>(header.timestamp_ms);
    deliver([&] { target->on_audio(target->context, &audio); });
}

} // namespace ovix::client
