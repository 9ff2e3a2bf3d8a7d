#include "ui/ipctest/MicPlayer.h"

#include "foundation/debug_log.h"
#include "station/StationSdk.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>

#include <vector>

namespace {
constexpr const char* kFile = "MicPlayer";
// More than this waiting (half a second at 8 kHz) means the output is not keeping up: the
// oldest samples go, so the sound stays close to the picture.
constexpr size_t kMaxQueuedSamples = 4000;
constexpr int kFeedMs = 20;
} // namespace

MicPlayer::MicPlayer() : m_target{&MicPlayer::on_audio, this} {}

MicPlayer::~MicPlayer() {
    if (m_sink) m_sink->stop();
}

void MicPlayer::attach(StationSdk& sdk, int32_t live) {
    OVIX_AUDIO_TARGET target = &m_target;
    if (sdk.live_control(live, OVIX_LIVE_SET_AUDIO_TARGET, &target) != OVIX_OK) {
        DEBUG_LOCATION(kFile, "MicPlayer::attach");
        debug_log("the live stream gives no sound\n");
    }
}

bool MicPlayer::has_output() const { return !QMediaDevices::defaultAudioOutput().isNull(); }

void MicPlayer::on_audio(void* context, const ovix_audio* audio) {
    if (context && audio) static_cast<MicPlayer*>(context)->take(*audio);
}

void MicPlayer::take(const ovix_audio& audio) {
    if (audio.frames <= 0 || audio.channels <= 0 || !audio.samples) return;
    const size_t count = static_cast<size_t>(audio.frames) * static_cast<size_t>(audio.channels);
    m_received += count;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_rate = audio.sample_rate;
        m_channels = audio.channels;
        m_queue.insert(m_queue.end(), audio.samples, audio.samples + count);
        while (m_queue.size() > kMaxQueuedSamples) m_queue.pop_front();
    }
    if (!m_start_queued.exchange(true))
        QMetaObject::invokeMethod(this, [this] {
            m_start_queued = false;
            int rate = 0;
            int channels = 0;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                rate = m_rate;
                channels = m_channels;
            }
            start_output(rate, channels);
        }, Qt::QueuedConnection);
}

void MicPlayer::start_output(int sample_rate, int channels) {
    if (m_sink && sample_rate == m_sink_rate && channels == m_sink_channels) return;
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(sample_rate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);
    if (output.isNull() || !output.isFormatSupported(format)) {
        if (!m_told_silent) {
            DEBUG_LOCATION(kFile, "MicPlayer::start_output");
            debug_log("no audio output for %d Hz, %d channel(s): the microphone test runs without sound\n",
                      sample_rate, channels);
            m_told_silent = true;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
        return;
    }
    if (m_sink) m_sink->stop();
    m_sink = std::make_unique<QAudioSink>(output, format);
    m_sink_rate = sample_rate;
    m_sink_channels = channels;
    m_device = m_sink->start();
    if (!m_timer) {
        m_timer = new QTimer(this);
        connect(m_timer, &QTimer::timeout, this, [this] { feed(); });
    }
    m_timer->start(kFeedMs);
}

void MicPlayer::feed() {
    if (!m_sink || !m_device) return;
    std::vector<int16_t> chunk;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const size_t room = static_cast<size_t>(m_sink->bytesFree()) / sizeof(int16_t);
        const size_t n = std::min(room, m_queue.size());
        chunk.assign(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(n));
        m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (chunk.empty()) return;
    m_device->write(reinterpret_cast<const char*>(chunk.data()), static_cast<qint64>(chunk.size() * sizeof(int16_t)));
    m_played += chunk.size();
}
