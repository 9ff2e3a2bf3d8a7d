#pragma once
#include "devsdk/ovix_client.h"
#include "foundation/Clock.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace support {

// An audio target as a player holds it, the counterpart of Screen: the callback copies each
// chunk under the lock and readers get copies. A slow speaker takes `delay_ms` between
// entering the callback and taking the chunk.
class Speaker {
public:
    struct Chunk {
        int32_t frames = 0, channels = 0, sample_rate = 0;
        uint32_t sequence = 0;
    };

    // Makes this speaker the audio target of a live stream.
    int32_t listen(int32_t live) {
        OVIX_AUDIO_TARGET audio = &target;
        return Network_ClientLiveControl(live, OVIX_LIVE_SET_AUDIO_TARGET, &audio);
    }
    int count() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(m_chunks.size());
    }
    std::vector<Chunk> chunks() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_chunks;
    }
    // Every sample heard, chunk after chunk, channels interleaved.
    std::vector<int16_t> samples() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_samples;
    }

    ovix_audio_target target{&Speaker::on_audio, this};
    std::atomic<int64_t> delay_ms{0};
    std::atomic<int> entered{0};

private:
    static void on_audio(void* context, const ovix_audio* audio) {
        auto* s = static_cast<Speaker*>(context);
        ++s->entered;
        if (s->delay_ms > 0) Clock::sleep_ms(s->delay_ms);
        std::lock_guard<std::mutex> lock(s->m_mutex);
        s->m_chunks.push_back({audio->frames, audio->channels, audio->sample_rate, audio->sequence});
        s->m_samples.insert(s->m_samples.end(), audio->samples,
                            audio->samples + static_cast<size_t>(audio->frames) * static_cast<size_t>(audio->channels));
    }

    mutable std::mutex m_mutex;
    std::vector<Chunk> m_chunks;
    std::vector<int16_t> m_samples;
};

} // namespace support
