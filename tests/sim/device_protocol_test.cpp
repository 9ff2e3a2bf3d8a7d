// A simulated camera's side of the wire contract, below the client library: one row per
// request, each on a connection of its own, with the answer and whether the camera hangs up.
// Whole-program hostility (lying lengths, dribblers, floods) is the smoke tests'.
#include "DeviceFixture.h"
#include "devsdk/protocol/FirmwareHeader.h"
#include "support/RawClient.h"

using namespace device_test;
using namespace ovix;
using support::RawClient;

namespace {

uint16_t kind_of(Kind kind) { return static_cast<uint16_t>(kind); }

Bytes upgrade_start_beyond_any_size() {
    const FirmwareInfo info{"0x3516", {2, 5, 0}, UINT64_MAX - kFirmwareHeaderSize, {}, "endless"};
    return encode(UpgradeStart{UINT64_MAX, encode_firmware_header(info)});
}

} // namespace

TEST_F(DeviceTest, EachRequestGetsItsAnswerAndRefusalsBeforeTheLoginHangUp) {
    start(1);
    struct Row {
        const char* what;
        bool logged_in;
        uint16_t kind;
        std::function<Bytes(const RawClient&)> payload;
        int32_t expected;
        bool hangs_up;  // with or without an answer where the row is before the login
    };
    const auto bytes = [](Bytes b) { return [b](const RawClient&) { return b; }; };
    std::vector<Row> rows = {
        {"login, other major version", false, kind_of(Kind::Login), [](const RawClient& w) { return w.login("", kProtocolMajor + 1); },
         OVIX_ERR_VERSION, true},
        {"login, wrong password", false, kind_of(Kind::Login), [](const RawClient& w) { return w.login("nope"); }, OVIX_ERR_PASSWORD, true},
        {"short record", true, kind_of(Kind::GetConfig), bytes({1, 2}), OVIX_ERR_BAD_REQUEST, false},
        {"ping", true, kind_of(Kind::Ping), bytes({}), OVIX_OK, false},
        {"upgrade beyond any firmware size", true, kind_of(Kind::UpgradeStart), [](const RawClient&) { return upgrade_start_beyond_any_size(); },
         OVIX_ERR_UPGRADE_INVALID, false},
    };
    // Nothing but a login is taken first; a kind the camera never takes is refused after it.
    for (uint16_t kind : {kind_of(Kind::Ping), kind_of(Kind::GetConfig), kind_of(Kind::UpgradeStart), kind_of(Kind::UpgradeData),
                          kind_of(Kind::Logout), kind_of(Kind::Result), uint16_t{0x7E}, uint16_t{0xFFFF}})
        rows.push_back({"before the login", false, kind, bytes(Bytes(8, 0)), OVIX_ERR_BAD_REQUEST, true});
    for (uint16_t kind : {uint16_t{0x00}, uint16_t{0x7E}, uint16_t{0xFFFF}, kind_of(Kind::Hello), kind_of(Kind::Result),
                          kind_of(Kind::UpgradeProgress), kind_of(Kind::VideoFrame), kind_of(Kind::Event)})
        rows.push_back({"unknown kind", true, kind, bytes(Bytes(8, 0)), OVIX_ERR_UNSUPPORTED, false});

    for (const Row& row : rows) {
        RawClient wire(ip(), 6001);
        ASSERT_EQ(wire.hello.major, kProtocolMajor);
        if (row.logged_in) {
            ASSERT_EQ(wire.log_in(), OVIX_OK);
        }
        const int32_t result = wire.ask(row.kind, 2, row.payload(wire)).result;
        // A request other than the login, before it, may get the hang-up alone.
        const bool hang_up_will_do = row.hangs_up && row.kind != kind_of(Kind::Login) && result == RawClient::kNoAnswer;
        EXPECT_TRUE(result == row.expected || hang_up_will_do) << row.what << " " << row.kind << ": " << result;
        if (row.hangs_up) {
            EXPECT_TRUE(wire.hung_up()) << row.what;
        } else {
            EXPECT_EQ(wire.ask(kind_of(Kind::Ping), 3, {}).result, OVIX_OK) << row.what << " " << row.kind << ": the login lives on";
        }
    }
    EXPECT_TRUE(eventually([&] { return camera().device_state().active_logins == 0; })) << "refused logins hold no place";
}

TEST_F(DeviceTest, AnswersNeverExceedTheAskedLengthAndALogoutHangsUp) {
    start(1);
    RawClient wire(ip(), 6001);
    ASSERT_EQ(wire.log_in(), OVIX_OK);
    const Answer info = wire.ask(kind_of(Kind::GetConfig), 2, encode(ConfigGet{OVIX_CMD_DEVICE_INFO, 0, 40}));
    EXPECT_EQ(info.result, OVIX_OK);
    ASSERT_EQ(info.data.size(), 40u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.data.data())), "IPC-3516");
    wire.send(support::frame_bytes(Kind::Logout, 0, {}));
    EXPECT_TRUE(wire.hung_up());
}
