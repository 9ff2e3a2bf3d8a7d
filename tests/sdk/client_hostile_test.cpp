#include "SdkTest.h"

using namespace ovix;

namespace {

Bytes frame_bytes(uint16_t kind, uint32_t id, const Bytes& payload, uint32_t claimed_length) {
    Bytes out(kFrameHeaderSize);
    encode_frame_header({kind, id, 0}, out.data());
    store_u32(out.data() + 8, claimed_length);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

class ClientHostile : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        handle = login();
        ASSERT_EQ(Network_ClientSetEventCB(handle, EventLog::callback, &events), OVIX_OK);
    }
    // The login dropped once, for this reason, and is of no use any more.
    void expect_dropped(int32_t reason) {
        ASSERT_TRUE(eventually([&] { return events.count() == 1; }));
        EXPECT_EQ(events.at(0).main, OVIX_EVENT_LOGIN_DROPPED);
        EXPECT_EQ(events.at(0).sub, reason);
        EXPECT_EQ(Network_ClientIrcutControl(handle, 1), OVIX_ERR_DISCONNECTED);
        EXPECT_EQ(Network_ClientLogout(handle), OVIX_OK);
        EXPECT_EQ(events.count(), 1u);
    }
    int32_t handle = -1;
    EventLog events;
};

} // namespace

TEST_F(ClientHostile, GarbageBytesDropTheLogin) {
    device.send_raw_all(Bytes(100, 0x00));
    expect_dropped(OVIX_DROP_PROTOCOL);
}

TEST_F(ClientHostile, HugeLengthFieldDropsTheLoginWithoutWaitingForTheBytes) {
    device.send_raw_all(frame_bytes(static_cast<uint16_t>(Kind::Event), 0, {}, 0xFFFFFFFFu));
    expect_dropped(OVIX_DROP_PROTOCOL);
}

TEST_F(ClientHostile, MalformedAnswersAndPushesDropTheLogin) {
    // An answer too short to hold a result.
    device.on(Kind::IrcutControl, [](FakeDevice::Peer& peer, const Frame& request) {
        peer.send_raw(frame_bytes(static_cast<uint16_t>(Kind::Result), request.id, {1, 2}, 2));
    });
    EXPECT_EQ(Network_ClientIrcutControl(handle, 0), OVIX_ERR_DISCONNECTED);
    expect_dropped(OVIX_DROP_PROTOCOL);
}

TEST_F(ClientHostile, NegativeResultsFromADeviceAreNotTakenForTheLibrarysOwn) {
    device.on(Kind::LdrControl, [](FakeDevice::Peer& peer, const Frame& request) {
        peer.answer(request, OVIX_ERR_BAD_HANDLE);
    });
    EXPECT_EQ(Network_ClientLDRControl(handle, OVIX_LDR_SPEAKER, 1), OVIX_ERR_DISCONNECTED);
    expect_dropped(OVIX_DROP_PROTOCOL);
}

TEST_F(ClientHostile, ResetInTheMiddleOfAnAnswerFailsTheWaitingRequest) {
    device.on(Kind::GetConfig, [](FakeDevice::Peer& peer, const Frame& request) {
        Bytes whole = frame_bytes(static_cast<uint16_t>(Kind::Result), request.id, Bytes(76, 0), 76);
        peer.send_raw(Bytes(whole.begin(), whole.begin() + 30));
        peer.reset();
    });
    uint8_t buffer[72];
    EXPECT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, buffer, 72), OVIX_ERR_DISCONNECTED);
    expect_dropped(OVIX_DROP_NETWORK);
}

TEST_F(ClientHostile, DeviceThatFallsSilentIsGivenUp) {
    Clock::set_speed(50.0);
    device.on(Kind::Ping, [](FakeDevice::Peer&, const Frame&) {});
    expect_dropped(OVIX_DROP_SILENT);
}

TEST_F(ClientHostile, AnsweredPingsKeepAQuietLoginAlive) {
    // Slow enough that an answered ping always beats the silence limit (1.5 s real), also
    // under ThreadSanitizer on a loaded machine.
    Clock::set_speed(10.0);
    ASSERT_TRUE(eventually([&] { return device.received(Kind::Ping).size() >= 4; }));
    EXPECT_EQ(events.count(), 0u);
    EXPECT_EQ(Network_ClientIrcutControl(handle, 1), OVIX_OK);
}

TEST_F(ClientHostile, SuccessWithoutDataToARecordReadIsAFailureNotADrop) {
    for (Kind kind : {Kind::GetConfig, Kind::GetCapability})
        device.on(kind, [](FakeDevice::Peer& peer, const Frame& request) { peer.answer(request, OVIX_OK); });
    uint8_t clock[72];
    EXPECT_EQ(Network_ClientGetDeviceConfig(handle, OVIX_CMD_GET_CLOCK, 0, clock, sizeof clock), OVIX_ERR_PROTOCOL);
    ovix_capability capability;
    EXPECT_EQ(Network_ClientGetCameraAdvanceConfig(handle, 0, &capability, sizeof capability), OVIX_ERR_PROTOCOL);
    EXPECT_EQ(Network_ClientIrcutControl(handle, 1), OVIX_OK);
    EXPECT_EQ(events.count(), 0u);
}
