// Live view of a simulated camera: pictures reach the render target, carry the camera's MAC
// and clock, and follow the zoom and the frame rate the viewer asks for.
#include "DeviceFixture.h"
#include "sim/SyntheticPicture.h"

using namespace device_test;

namespace {

// A render target as a toolkit widget would hold it: keeps a copy of the last picture.
struct Screen {
    std::mutex mutex;
    int frames = 0;
    ovix_frame last{};
    std::vector<uint32_t> pixels;
    ovix_render_target target{&Screen::on_frame, this};

    static void on_frame(void* context, const ovix_frame* frame) {
        auto* s = static_cast<Screen*>(context);
        std::lock_guard<std::mutex> lock(s->mutex);
        ++s->frames;
        s->last = *frame;
        s->pixels.resize(static_cast<size_t>(frame->width) * static_cast<size_t>(frame->height));
        for (int y = 0; y < frame->height; ++y)
            std::memcpy(s->pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(frame->width),
                        frame->pixels + static_cast<size_t>(y) * static_cast<size_t>(frame->stride), static_cast<size_t>(frame->width) * 4);
    }
    int count() {
        std::lock_guard<std::mutex> lock(mutex);
        return frames;
    }
    // The picture the camera meant: drawn again from the frame's own time stamp.
    bool shows(const std::string& mac, int32_t zoom) {
        std::lock_guard<std::mutex> lock(mutex);
        PictureShape shape;
        shape.width = static_cast<uint16_t>(last.width);
        shape.height = static_cast<uint16_t>(last.height);
        shape.device_time_ms = last.timestamp_ms;
        shape.mac = mac;
        shape.zoom = zoom;
        std::vector<uint32_t> expected;
        render_picture(shape, expected);
        for (uint32_t& pixel : expected) pixel |= 0xFF000000u;
        return expected == pixels;
    }
};

} // namespace

TEST_F(DeviceTest, LivePicturesCarryTheMacAndClockAndFollowTheZoom) {
    start(1);
    const int32_t handle = login();
    const ovix_live_preview preview{0, 0, 1};
    int32_t live = -1;
    ASSERT_EQ(Network_ClientStartLive(&live, handle, &preview, 0, 0), OVIX_OK);
    Screen screen;
    OVIX_WINDOW window = &screen.target;
    int32_t own_rate = 0;
    ASSERT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_FRAME_RATE, &own_rate), OVIX_OK);
    ASSERT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_SET_TARGET, &window), OVIX_OK);
    ASSERT_TRUE(eventually([&] { return screen.count() >= 3; }));
    {
        std::lock_guard<std::mutex> lock(screen.mutex);
        EXPECT_EQ(screen.last.width, 640);
        EXPECT_EQ(screen.last.height, 360);
    }
    EXPECT_TRUE(screen.shows("00:1A:2B:00:00:01", 200));
    EXPECT_FALSE(screen.shows("00:1A:2B:00:00:02", 200)) << "the MAC is drawn in";

    ovix_zoom zoom{1000, 320, 180};
    ASSERT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_ZOOM, &zoom), OVIX_OK);
    // Once the zoom has arrived, the next pictures are the 5x ones.
    ASSERT_TRUE(eventually([&] { return screen.shows("00:1A:2B:00:00:01", 1000); }));
    EXPECT_FALSE(screen.shows("00:1A:2B:00:00:01", 200));

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
    ASSERT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, &clock, sizeof clock), OVIX_OK);
    clock.year = 2031;
    ASSERT_EQ(Network_ClientSetDeviceConfig(handle, OVIX_CMD_SET_CLOCK, 0, &clock, sizeof clock), OVIX_OK);
    const ovix_live_preview preview{0, 0, 2};
    int32_t live = -1;
    ASSERT_EQ(Network_ClientStartLive(&live, handle, &preview, 0, 0), OVIX_OK);
    Screen screen;
    OVIX_WINDOW window = &screen.target;
    int32_t rate = 30;
    ASSERT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_FRAME_RATE, &rate), OVIX_OK);
    ASSERT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_SET_TARGET, &window), OVIX_OK);
    ASSERT_TRUE(eventually([&] { return screen.count() >= 2; }));
    std::lock_guard<std::mutex> lock(screen.mutex);
    EXPECT_EQ(screen.last.width, 320);
    EXPECT_EQ(screen.last.height, 180);
    EXPECT_EQ(timestamp_text(screen.last.timestamp_ms).substr(0, 4), "2031");
    rate = 61;
    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_FRAME_RATE, &rate), OVIX_ERR_BAD_REQUEST);
}
