#pragma once
#include "devsdk/ovix_client.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

class QAudioSink;
class QIODevice;
class QTimer;
class StationSdk;

// Plays the camera's microphone during the microphone test. The samples come from the
// device SDK's thread into a short queue; the window thread feeds them to the machine's
// audio output. Without an output the test still runs its full time, and the log says that
// nothing could be heard.
class MicPlayer : public QObject {
    Q_OBJECT
public:
    MicPlayer();
    ~MicPlayer() override;

    // Receives the sound of live stream `live` from now on (until that stream ends).
    void attach(StationSdk& sdk, int32_t live);

    uint64_t samples_received() const { return m_received.load(); }
    // Samples handed to the audio output.
    uint64_t samples_played() const { return m_played; }
    bool has_output() const;

private:
    static void on_audio(void* context, const ovix_audio* audio);
    void take(const ovix_audio& audio);
    void start_output(int sample_rate, int channels);
    void feed();

    ovix_audio_target m_target;
    std::mutex m_mutex;
    std::deque<int16_t> m_queue;   // under m_mutex
    int m_rate = 0;                // under m_mutex
    int m_channels = 0;            // under m_mutex
    std::atomic<uint64_t> m_received{0};
    std::atomic<bool> m_start_queued{false};

    // Window thread only.
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_device = nullptr;
    QTimer* m_timer = nullptr;
    int m_sink_rate = 0;
    int m_sink_channels = 0;
    bool m_told_silent = false;
    uint64_t m_played = 0;
};
