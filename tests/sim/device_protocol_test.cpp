// A simulated camera seen on the wire, below the client library: what it answers to
// requests the library would never send.
#include "DeviceFixture.h"
#include "devsdk/protocol/FirmwareHeader.h"
#include "devsdk/protocol/FrameStream.h"
#include "devsdk/protocol/LoginProof.h"
#include "devsdk/protocol/Socket.h"

using namespace device_test;
using namespace ovix;

namespace {

// A bare connection to camera 1 that has read the hello.
struct Wire {
    explicit Wire(const CameraConfig& camera)
        : stream(tcp_connect(camera.ip_address, camera.cmd_port, Clock::now_ms() + 5000, nullptr)) {
        Frame frame;
        if (stream.read(frame, Clock::now_ms() + 5000) == Io::Ok) decode(frame.payload, hello);
    }
    Io send(Kind kind, uint32_t id, const Bytes& payload) { return stream.write(kind, id, payload, 5000); }
    Io send(uint16_t kind, uint32_t id, const Bytes& payload) { return stream.write(kind, id, payload, {}, 5000); }
    Answer answer(uint32_t id) {
        for (Frame frame; stream.read(frame, Clock::now_ms() + 5000) == Io::Ok;) {
            Answer a;
            if (frame.kind == static_cast<uint16_t>(Kind::Result) && frame.id == id && decode(frame.payload, a)) return a;
        }
        return Answer{-1000, {}};
    }
    int32_t log_in(const std::string& password, uint16_t major = kProtocolMajor) {
        LoginRequest login{major, kProtocolMinor, "Admin", random_nonce(), {}};
        login.proof = login_proof("Admin", password, hello.nonce, login.client_nonce);
        send(Kind::Login, 1, encode(login));
        return answer(1).result;
    }
    FrameStream stream;
    Hello hello;
};

} // namespace

TEST_F(DeviceTest, WireAnswersNeverExceedTheAskedLengthAndOddRequestsAreRefused) {
    start(1);
    Wire wire(camera().current());
    EXPECT_EQ(wire.hello.major, kProtocolMajor);
    ASSERT_EQ(wire.log_in(""), OVIX_OK);

    wire.send(Kind::GetConfig, 2, encode(ConfigGet{OVIX_CMD_DEVICE_INFO, 0, 40}));
    const Answer info = wire.answer(2);
    EXPECT_EQ(info.result, OVIX_OK);
    ASSERT_EQ(info.data.size(), 40u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.data.data())), "IPC-3516");

    wire.send(Kind::GetConfig, 3, Bytes{1, 2});
    EXPECT_EQ(wire.answer(3).result, OVIX_ERR_BAD_REQUEST) << "a record too short to read";
    wire.send(uint16_t{0x7E}, 4, Bytes{});
    EXPECT_EQ(wire.answer(4).result, OVIX_ERR_UNSUPPORTED) << "a kind the camera does not know";
    wire.send(Kind::Ping, 5, Bytes{});
    EXPECT_EQ(wire.answer(5).result, OVIX_OK);
    wire.send(Kind::Logout, 0, Bytes{});
    Frame frame;
    EXPECT_EQ(wire.stream.read(frame, Clock::now_ms() + 5000), Io::Closed);
}

TEST_F(DeviceTest, RefusedLoginsAreAnsweredThenTheCameraHangsUp) {
    start(1);
    Wire wrong_password(camera().current());
    EXPECT_EQ(wrong_password.log_in("nope"), OVIX_ERR_PASSWORD);
    Frame frame;
    EXPECT_EQ(wrong_password.stream.read(frame, Clock::now_ms() + 5000), Io::Closed);
    Wire other_major(camera().current());
    EXPECT_EQ(other_major.log_in("", kProtocolMajor + 1), OVIX_ERR_VERSION);
    Wire not_a_login(camera().current());
    not_a_login.send(Kind::Ping, 1, Bytes{});
    EXPECT_EQ(not_a_login.answer(1).result, OVIX_ERR_BAD_REQUEST);
    EXPECT_EQ(camera().device_state().active_logins, 0);
}

TEST_F(DeviceTest, UpgradeBeyondAnyFirmwareSizeIsRefusedAndAnAbandonedOneFreesTheCamera) {
    Clock::set_speed(10);  // the camera waits 30 s for image bytes
    start(1);
    Wire wire(camera().current());
    ASSERT_EQ(wire.log_in(""), OVIX_OK);
    FirmwareInfo info{"0x3516", {2, 5, 0}, UINT64_MAX - kFirmwareHeaderSize, {}, "endless"};
    wire.send(Kind::UpgradeStart, 2, encode(UpgradeStart{UINT64_MAX, encode_firmware_header(info)}));
    EXPECT_EQ(wire.answer(2).result, OVIX_ERR_UPGRADE_INVALID);

    // A transfer whose sender then falls silent, though still connected.
    info.image_length = 1u << 20;
    wire.send(Kind::UpgradeStart, 3, encode(UpgradeStart{kFirmwareHeaderSize + info.image_length, encode_firmware_header(info)}));
    ASSERT_EQ(wire.answer(3).result, OVIX_OK);
    const int32_t handle = login();
    Firmware firmware({2, 5, 0}, 64 * 1024);
    int32_t upgrade = -1;
    EXPECT_EQ(Network_ClientStartUpgrade(&upgrade, handle, firmware.path().c_str()), OVIX_ERR_BUSY);
    ASSERT_TRUE(eventually([&] { return !camera().device_state().upgrading; }));
    EXPECT_EQ(Network_ClientStartUpgrade(&upgrade, handle, firmware.path().c_str()), OVIX_OK);
    Network_ClientStopUpgrade(upgrade);
    const DeviceRecord record = camera().device_record();
    ASSERT_GE(record.upgrades.size(), 3u);
    EXPECT_EQ(record.upgrades[0].outcome, "refused");
    EXPECT_EQ(record.upgrades[1].outcome, "abandoned");
}
