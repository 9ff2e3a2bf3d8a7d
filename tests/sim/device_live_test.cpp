// Live view of a simulated camera: pictures reach the render target, carry the camera's MAC
// and clock, and follow the zoom and the frame rate the viewer asks for; the open microphone
// sends its tone to the audio target.
#include "DeviceFixture.h"
#include "sim/SyntheticPicture.h"
#include "support/Screen.h"
#include "support/Speaker.h"

#include <algorithm>

using namespace device_test;
using support::Screen;
using support::Speaker;

namespace {

// The picture the camera meant: drawn again from the frame's own time stamp.
bool shows(const Screen::Picture& picture, const std::string& mac, int32_t zoom) {
    const PictureShape shape{static_cast<uint16_t>(picture.width), static_cast<uint16_t>(picture.height),
                             picture.timestamp_ms, mac, zoom};
    std::vector<uint32_t> expected;
    render_picture(shape, expected);
    for (uint32_t& pixel : expected) pixel |= 0xFF000000u;
    return expected == picture.pixels;
}

// Stops the live stream when the test leaves, also through a failed assertion. Declared after
// the screen, it ends the pictures before the screen goes.
struct StopLiveAtExit {
    int32_t live;
    ~StopLiveAtExit() { Network_ClientStopLive(live); }
};

// The result of a request that may repeat, asked again when a loaded machine lets it time out:
// for a step on the way to what a test is about.
int32_t patiently(const std::function<int32_t()>& request) {
    int32_t result = OVIX_ERR_TIMEOUT;
    for (int attempt = 0; attempt < 3 && result == OVIX_ERR_TIMEOUT; ++attempt) result = request();
    return result;
}

// The camera's answer to the latest frame rate request, or 0 while it has none.
int32_t frame_rate_answer(const DeviceRecord& record) {
    for (auto it = record.commands.rbegin(); it != record.commands.rend(); ++it)
        if (it->request == "live_control" && it->command == OVIX_LIVE_FRAME_RATE) return it->result;
    return 0;
}

} // namespace

TEST_F(DeviceTest, LivePicturesCarryTheMacAndClockAndFollowTheZoom) {
    start(1);
    const int32_t handle = login();
    const ovix_live_preview preview{0, 0, 1};
    Screen screen;
    int32_t live = -1;
    ASSERT_EQ(Network_ClientStartLive(&live, handle, &preview, 0, 0), OVIX_OK);
    const StopLiveAtExit stop_live{live};
    int32_t own_rate = 0;
    ASSERT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_FRAME_RATE, &own_rate), OVIX_OK);
    ASSERT_EQ(screen.show(live), OVIX_OK);
    ASSERT_TRUE(eventually([&] { return screen.count() >= 3; }));
    const Screen::Picture first = screen.latest();
    EXPECT_EQ(first.width, 640);
    EXPECT_EQ(first.height, 360);
    EXPECT_TRUE(shows(first, "00:1A:2B:00:00:01", 200));
    EXPECT_FALSE(shows(first, "00:1A:2B:00:00:02", 200)) << "the MAC is drawn in";

    ovix_zoom zoom{1000, 320, 180};
    ASSERT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_ZOOM, &zoom), OVIX_OK);
    // Once the zoom has arrived, the next pictures are the 5x ones.
    ASSERT_TRUE(eventually([&] { return shows(screen.latest(), "00:1A:2B:00:00:01", 1000); }));
    EXPECT_FALSE(shows(screen.latest(), "00:1A:2B:00:00:01", 200));

    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_MIC_OPEN, nullptr), OVIX_OK);
    EXPECT_TRUE(camera().device_state().microphone_open);
    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_MIC_CLOSE, nullptr), OVIX_OK);
    EXPECT_FALSE(camera().device_state().microphone_open);
    EXPECT_EQ(Network_ClientStopLive(live), OVIX_OK);

    const DeviceRecord record = camera().device_record();
    ASSERT_EQ(record.live.size(), 6u);
    EXPECT_EQ(record.live[0].command, 0);
    EXPECT_EQ(record.live[0].values[1], 1) << "the main stream";
    EXPECT_EQ(record.live[2].values, (std::array<int32_t, 3>{1000, 320, 180}));
    EXPECT_EQ(record.live[5].command, -1);
}

TEST_F(DeviceTest, PreviewStreamIsSmallerAndTheCameraClockStampsIt) {
    start(1);
    const int32_t handle = login();
    ovix_clock clock{};
    ASSERT_EQ(patiently([&] { return Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, &clock, sizeof clock); }),
              OVIX_OK);
    clock.year = 2031;
    ASSERT_EQ(patiently([&] { return Network_ClientSetDeviceConfig(handle, OVIX_CMD_SET_CLOCK, 0, &clock, sizeof clock); }),
              OVIX_OK);
    const ovix_live_preview preview{0, 0, 2};
    Screen screen;
    int32_t live = -1;
    ASSERT_EQ(Network_ClientStartLive(&live, handle, &preview, 0, 0), OVIX_OK);
    const StopLiveAtExit stop_live{live};
    int32_t rate = 30;
    ASSERT_EQ(patiently([&] { return Network_ClientLiveControl(live, OVIX_LIVE_FRAME_RATE, &rate); }), OVIX_OK);
    ASSERT_EQ(screen.show(live), OVIX_OK);
    ASSERT_TRUE(eventually([&] { return screen.count() >= 2; }));
    const Screen::Picture last = screen.latest();
    EXPECT_EQ(std::pair(last.width, last.height), std::pair(320, 180));
    EXPECT_EQ(timestamp_text(last.timestamp_ms).substr(0, 4), "2031");

    // The camera refuses a rate above its maximum; its record tells, however slowly it answered.
    rate = 61;
    EXPECT_NE(Network_ClientLiveControl(live, OVIX_LIVE_FRAME_RATE, &rate), OVIX_OK);
    EXPECT_TRUE(eventually([&] { return frame_rate_answer(camera().device_record()) == OVIX_ERR_BAD_REQUEST; }));
}

TEST_F(DeviceTest, OpenMicrophoneSendsASteadyOneKilohertzTone) {
    start(1);
    const int32_t handle = login();
    const ovix_live_preview preview{0, 0, 2};
    Screen screen;
    Speaker speaker;
    int32_t live = -1;
    ASSERT_EQ(Network_ClientStartLive(&live, handle, &preview, 0, 0), OVIX_OK);
    const StopLiveAtExit stop_live{live};
    ASSERT_EQ(screen.show(live), OVIX_OK);
    ASSERT_EQ(speaker.listen(live), OVIX_OK);
    ASSERT_EQ(patiently([&] { return Network_ClientLiveControl(live, OVIX_LIVE_MIC_OPEN, nullptr); }), OVIX_OK);
    ASSERT_TRUE(eventually([&] { return speaker.count() >= 4; }));

    for (const Speaker::Chunk& chunk : speaker.chunks())
        EXPECT_EQ(std::tuple(chunk.sample_rate, chunk.channels, chunk.frames), std::tuple(8000, 1, 320));
    // 1 kHz at 8 kHz: a rising zero crossing every 8 samples, across the chunk borders too.
    const std::vector<int16_t> samples = speaker.samples();
    std::vector<size_t> rising;
    for (size_t i = 1; i < samples.size(); ++i)
        if (samples[i - 1] < 0 && samples[i] >= 0) rising.push_back(i);
    ASSERT_GE(rising.size(), 100u);
    for (size_t k = 1; k < rising.size(); ++k) ASSERT_EQ(rising[k] - rising[k - 1], 8u) << "at sample " << rising[k];
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 8000);
    EXPECT_EQ(*std::min_element(samples.begin(), samples.end()), -8000);

    ASSERT_EQ(patiently([&] { return Network_ClientLiveControl(live, OVIX_LIVE_MIC_CLOSE, nullptr); }), OVIX_OK);
    // Pictures keep coming; chunks that were due in the meantime would have come with them.
    const int heard = speaker.count();
    const int shown = screen.count();
    ASSERT_TRUE(eventually([&] { return screen.count() >= shown + 5; }));
    EXPECT_EQ(speaker.count(), heard);
}

// A viewer only receives while pictures stream, yet the camera ends a login it hears nothing
// from after a minute: the client's keep-alive must reach it. Three minutes of camera time.
TEST_F(DeviceTest, LiveViewOutlastsTheCamerasIdleLimit) {
    start(1, [](CameraConfig& camera) { camera.device.frame_rate = 2; });
    const int32_t handle = login();
    const ovix_live_preview preview{0, 0, 1};
    Screen screen;
    int32_t live = -1;
    ASSERT_EQ(Network_ClientStartLive(&live, handle, &preview, 0, 0), OVIX_OK);
    const StopLiveAtExit stop_live{live};
    ASSERT_EQ(screen.show(live), OVIX_OK);
    Clock::set_speed(30.0);
    const int64_t begin = Clock::now_ms();
    int last_count = 0;
    for (int64_t minute_part = 1; minute_part <= 9; ++minute_part) {
        Clock::sleep_ms(begin + minute_part * 20000 - Clock::now_ms());
        EXPECT_GT(screen.count(), last_count) << "no picture in the 20 s before " << minute_part * 20 << " s";
        last_count = screen.count();
    }
    Clock::set_speed(1.0);
    EXPECT_EQ(camera().device_state().active_logins, 1);
    ovix_clock clock{};
    EXPECT_EQ(patiently([&] { return Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, &clock, sizeof clock); }),
              OVIX_OK)
        << "the login still answers";
}
