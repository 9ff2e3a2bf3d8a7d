#pragma once
#include "devsdk/ovix_client.h"
#include "foundation/Clock.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace support {

// A render target as a toolkit widget holds it: the callback copies each picture under the
// lock and readers get copies, so the lock is never held across a library call (a callback
// waiting for it would hold up the very thread that reads the call's answer). A slow screen
// takes `delay_ms` between entering the callback and taking the picture.
class Screen {
public:
    struct Picture {
        int32_t width = 0, height = 0, stride = 0;
        uint32_t sequence = 0;
        int64_t timestamp_ms = 0;
        std::vector<uint32_t> pixels;  // row after row, without the stride's padding
    };

    // Makes this screen the target of a live stream.
    int32_t show(int32_t live) {
        OVIX_WINDOW window = &target;
        return Network_ClientLiveControl(live, OVIX_LIVE_SET_TARGET, &window);
    }
    int count() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }
    Picture latest() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_last;
    }

    ovix_render_target target{&Screen::on_frame, this};
    std::atomic<int64_t> delay_ms{0};
    std::atomic<int> entered{0};

private:
    static void on_frame(void* context, const ovix_frame* frame) {
        auto* s = static_cast<Screen*>(context);
        ++s->entered;
        if (s->delay_ms > 0) Clock::sleep_ms(s->delay_ms);
        const auto width = static_cast<size_t>(frame->width), height = static_cast<size_t>(frame->height);
        std::lock_guard<std::mutex> lock(s->m_mutex);
        ++s->m_frames;
        Picture& p = s->m_last;
        p.width = frame->width, p.height = frame->height, p.stride = frame->stride;
        p.sequence = frame->sequence, p.timestamp_ms = frame->timestamp_ms;
        p.pixels.resize(width * height);
        for (size_t y = 0; y < height; ++y)
            std::memcpy(p.pixels.data() + y * width, frame->pixels + y * static_cast<size_t>(frame->stride), width * 4);
    }

    mutable std::mutex m_mutex;
    int m_frames = 0;
    Picture m_last;
};

} // namespace support
