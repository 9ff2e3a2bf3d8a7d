#include "SdkTest.h"
#include "support/Screen.h"
#include "support/Speaker.h"

#include "devsdk/protocol/VideoCodec.h"

using namespace ovix;
using support::Screen;
using support::Speaker;

namespace {

Bytes video_frame(uint32_t sequence, uint16_t w, uint16_t h) {
    const std::vector<uint32_t> pixels(size_t{w} * h, sequence);
    Bytes payload = encode(VideoFrameHeader{7, sequence, 1000 + sequence, w, h, kCodecRle32});
    const Bytes picture = encode_rle32(pixels.data(), w, h);
    payload.insert(payload.end(), picture.begin(), picture.end());
    return payload;
}

Bytes audio_frame(uint32_t sequence) {
    Bytes payload = encode(AudioFrameHeader{7, sequence, 1000 + sequence, 8000, 1, kAudioS16le});
    payload.resize(payload.size() + 640);
    return payload;
}

int32_t attach(Screen& screen, int32_t live) { return screen.show(live); }
int32_t attach(Speaker& speaker, int32_t live) { return speaker.listen(live); }

class ClientLive : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        handle = login();
        ovix_live_preview preview{0, 0, 2};
        ASSERT_EQ(Network_ClientStartLive(&live, handle, &preview, 0, 0), OVIX_OK);
    }
    // Ends the stream with `end` while frames keep coming to a sink (screen or speaker) slower
    // than a request's time limit, so that a callback is in progress then, and a request that
    // the device leaves unanswered returns before that callback ends. `settle` then lets every
    // frame pushed before it reach the client. No callback may count once `end` has returned.
    template <class Sink>
    void end_while_streaming(Sink& sink, const std::function<int32_t()>& end, const std::function<void()>& settle) {
        Clock::set_speed(20.0);
        sink.delay_ms = OVIX_REQUEST_TIMEOUT_MS + 1000;
        ASSERT_EQ(attach(sink, live), OVIX_OK);
        std::atomic<bool> pushing{true};
        std::thread pusher([&] {
            for (uint32_t i = 0; pushing; ++i) {
                device.push_all(Kind::VideoFrame, video_frame(i, 16, 16));
                device.push_all(Kind::AudioFrame, audio_frame(i));
                Clock::sleep_ms(200);
            }
        });
        EXPECT_TRUE(eventually([&] { return sink.count() >= 1; }));
        EXPECT_EQ(end(), OVIX_OK);
        const int at_return = sink.count();
        EXPECT_EQ(sink.entered, at_return) << "a callback still runs";
        Clock::set_speed(1.0);
        pushing = false;
        pusher.join();
        settle();
        EXPECT_EQ(sink.count(), at_return);
    }

    int32_t handle = -1;
    int32_t live = -1;
    // A member: TearDown's UnInit stops the stream before the screen goes.
    Screen screen;
    Speaker speaker;
};

} // namespace

// What pictures and controls carry is the simulator's live test and the codec's; here what the
// client alone does with a stream.
TEST_F(ClientLive, DetachedOrStoppedStreamsDeliverNothingMore) {
    screen.show(live);
    device.push_all(Kind::VideoFrame, video_frame(1, 16, 16));
    ASSERT_TRUE(eventually([&] { return screen.count() == 1; }));

    OVIX_WINDOW none = nullptr;
    ASSERT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_SET_TARGET, &none), OVIX_OK);
    device.push_all(Kind::VideoFrame, video_frame(2, 16, 16));
    // A frame for another stream, and a broken one, are ignored too. Each answer comes
    // after the pushes before it, so it shows that they were handled.
    Bytes other = video_frame(3, 16, 16);
    other[0] = 99;
    device.push_all(Kind::VideoFrame, other);
    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_MIC_OPEN, nullptr), OVIX_OK);
    screen.show(live);
    Bytes broken = video_frame(4, 16, 16);
    broken.resize(broken.size() - 3);
    device.push_all(Kind::VideoFrame, broken);
    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_MIC_CLOSE, nullptr), OVIX_OK);
    EXPECT_EQ(screen.count(), 1);

    ASSERT_EQ(Network_ClientStopLive(live), OVIX_OK);
    EXPECT_EQ(device.received(Kind::LiveStop).size(), 1u);
    device.push_all(Kind::VideoFrame, video_frame(5, 16, 16));
    EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 0, 0), OVIX_OK);
    EXPECT_EQ(screen.count(), 1);
    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_MIC_OPEN, nullptr), OVIX_ERR_BAD_HANDLE);
}

TEST_F(ClientLive, ControlsWithoutTheirArgumentAreRefusedUnsent) {
    int32_t rate = 0;
    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_SET_TARGET, nullptr), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_ZOOM, nullptr), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientLiveControl(live, OVIX_LIVE_FRAME_RATE, nullptr), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Network_ClientLiveControl(live, 42, &rate), OVIX_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(device.received(Kind::LiveControl).empty());
}

TEST_F(ClientLive, TargetCanBeFreedAsSoonAsItIsReplaced) {
    auto first = std::make_unique<Screen>();
    first->show(live);
    std::atomic<bool> pushing{true};
    std::thread pusher([&] {
        for (uint32_t i = 0; pushing; ++i) device.push_all(Kind::VideoFrame, video_frame(i, 64, 64));
    });
    // No early return while `first` is the target or the pusher runs.
    EXPECT_TRUE(eventually([&] { return first->count() > 3; }));
    screen.show(live);
    first.reset();  // a use after this would show under the sanitizers
    EXPECT_TRUE(eventually([&] { return screen.count() > 3; }));
    pushing = false;
    pusher.join();
}

TEST_F(ClientLive, NoCallbackRunsOnceStopLiveHasReturned) {
    // The device never answers the stop, so StopLive cannot owe its wait to that answer. The
    // login stays: an answer on it comes after every frame pushed before.
    device.on(Kind::LiveStop, [](FakeDevice::Peer&, const Frame&) {});
    end_while_streaming(screen, [&] { return Network_ClientStopLive(live); },
                        [&] { EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 0, 0), OVIX_OK); });
}

TEST_F(ClientLive, NoAudioCallbackRunsOnceStopLiveHasReturned) {
    device.on(Kind::LiveStop, [](FakeDevice::Peer&, const Frame&) {});
    end_while_streaming(speaker, [&] { return Network_ClientStopLive(live); },
                        [&] { EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 0, 0), OVIX_OK); });
}

TEST_F(ClientLive, NoCallbackRunsOnceLogoutHasReturned) {
    end_while_streaming(screen, [&] { return Network_ClientLogout(handle); },
                        [&] { EXPECT_TRUE(eventually([&] { return device.open_connections() == 0; })); });
    // The live handle outlives its login, but shows nothing any more.
    EXPECT_EQ(screen.show(live), OVIX_ERR_DISCONNECTED);
    EXPECT_EQ(Network_ClientStopLive(live), OVIX_OK);
}
