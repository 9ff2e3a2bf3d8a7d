// The client's side of the wire contract against devices that break it: one row per way, with
// the client's own code, within its own time limits, and whether the login survives. Which
// headers the frame reader calls garbage (bad magic, a length past the largest) is the frames
// fuzz target's; here one garbage row each before and after the login.
#include "SdkTest.h"

#include "devsdk/protocol/Socket.h"
#include "support/RawClient.h"

#include <unistd.h>

using namespace ovix;
using support::dribble;
using support::frame_bytes;

namespace {

Bytes hello_frame(uint16_t major = kProtocolMajor) {
    return frame_bytes(Kind::Hello, 0, encode(Hello{major, kProtocolMinor, random_nonce()}));
}
Bytes result_frame(int32_t result) { return frame_bytes(Kind::Result, 1, encode_i32(result)); }

void await_login(DeviceConnection& c) {
    Frame frame;
    c.stream.read(frame, Clock::now_ms() + 60000);
}

// A device on loopback that runs a script on the connection it accepts, then holds the
// connection until the test is over.
class ScriptedCamera {
public:
    using Script = std::function<void(DeviceConnection&)>;
    explicit ScriptedCamera(Script script) : m_listen(tcp_listen("127.0.0.1", 0, 4)), m_port(local_port(m_listen)) {
        m_thread = std::thread([this, script = std::move(script)] {
            int fd = -1;
            while (!m_stop && (fd = tcp_accept(m_listen, Clock::now_ms() + 50)) < 0) {}
            if (fd < 0) return;
            DeviceConnection connection(fd);
            script(connection);
            while (!m_stop) Clock::sleep_ms(20);
        });
    }
    ~ScriptedCamera() {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    uint16_t port() const { return m_port; }

private:
    int m_listen;
    uint16_t m_port;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The client's limits (3 s to connect, 5 s for an answer, 15 s of silence) pass ten times
// faster; a hang would still show as one.
class ClientHostile : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        Clock::set_speed(10);
    }
};

} // namespace

TEST_F(ClientHostile, ADeviceBreakingTheRulesBeforeTheLoginFailsItWithTheClientsOwnCode) {
    struct Row {
        const char* what;
        ScriptedCamera::Script script;
        int32_t expected;
    };
    const std::vector<Row> rows = {
        {"says nothing", [](DeviceConnection&) {}, OVIX_ERR_CONNECT},
        {"garbage", [](DeviceConnection& c) { c.send_raw(Bytes(4096, 0xA5)); }, OVIX_ERR_PROTOCOL},
        {"another major version", [](DeviceConnection& c) { c.send_raw(hello_frame(kProtocolMajor + 1)); }, OVIX_ERR_VERSION},
        {"hello that promises more than comes", [](DeviceConnection& c) { c.send_raw(frame_bytes(1, 0, Bytes(40, 0), kMaxPayload)); },
         OVIX_ERR_CONNECT},
        {"hello dribbled past the connect limit", [](DeviceConnection& c) { dribble(c.stream.fd(), hello_frame(), 200); },
         OVIX_ERR_CONNECT},
        {"hangs up after the hello", [](DeviceConnection& c) { c.send_raw(hello_frame()); c.shutdown(); }, OVIX_ERR_CONNECT},
        {"never answers the login", [](DeviceConnection& c) { c.send_raw(hello_frame()); }, OVIX_ERR_TIMEOUT},
        {"chatters instead of answering",
         [](DeviceConnection& c) {
             c.send_raw(hello_frame());
             for (int i = 0; i < 300; ++i) {
                 c.push(Kind::Event, Bytes(60, 0));
                 Clock::sleep_ms(20);
             }
         },
         OVIX_ERR_TIMEOUT},
        {"answers with the client's own code",
         [](DeviceConnection& c) {
             c.send_raw(hello_frame());
             await_login(c);
             c.send_raw(result_frame(OVIX_ERR_BAD_HANDLE));
         },
         OVIX_ERR_PROTOCOL},
        {"answer shorter than a result",
         [](DeviceConnection& c) {
             c.send_raw(hello_frame());
             await_login(c);
             c.send_raw(frame_bytes(Kind::Result, 1, Bytes{0, 0}));
         },
         OVIX_ERR_PROTOCOL},
        // Slow and large, but within the rules: the login goes through.
        {"everything dribbled, a frame of the largest size first",
         [](DeviceConnection& c) {
             dribble(c.stream.fd(), hello_frame(), 1);
             await_login(c);
             c.push(Kind::Event, Bytes(kMaxPayload, 0x5A));
             dribble(c.stream.fd(), result_frame(OVIX_OK), 1);
         },
         OVIX_OK},
    };
    for (const Row& row : rows) {
        ScriptedCamera camera(row.script);
        int32_t handle = 5;
        EXPECT_EQ(Network_ClientLogin(&handle, "127.0.0.1", camera.port(), "Admin", "x"), row.expected) << row.what;
        EXPECT_EQ(handle == -1, row.expected != OVIX_OK) << row.what;
        if (handle != -1) {
            EXPECT_EQ(Network_ClientLogout(handle), OVIX_OK) << row.what;
        }
    }
    int closed_fd = tcp_listen("127.0.0.1", 0, 1);
    const uint16_t closed_port = local_port(closed_fd);
    ::close(closed_fd);
    int32_t handle = 5;
    EXPECT_EQ(Network_ClientLogin(&handle, "127.0.0.1", closed_port, "Admin", "tevoq"), OVIX_ERR_CONNECT);
    EXPECT_EQ(handle, -1);
}

TEST_F(ClientHostile, ADeviceBreakingTheRulesAfterTheLoginFailsTheRequestOrDropsTheLoginForItsReason) {
    constexpr int32_t kLives = 0;  // the login survives
    struct Row {
        const char* what;
        std::function<void(FakeDevice&)> setup;
        std::function<int32_t(int32_t handle)> call;  // nullptr: nothing asked
        int32_t expected;
        int32_t dropped;
    };
    const auto ircut = [](int32_t h) { return Network_ClientIrcutControl(h, 1); };
    const auto clock = [](int32_t h) {
        uint8_t record[72];
        return Network_ClientGetDeviceConfig(h, OVIX_CMD_GET_CLOCK, 0, record, sizeof record);
    };
    const auto answer_with = [](Bytes (*make)(uint32_t id)) {
        return [make](FakeDevice::Peer& peer, const Frame& request) { peer.send_raw(make(request.id)); };
    };
    const auto unanswered = [](FakeDevice::Peer&, const Frame&) {};
    const std::vector<Row> rows = {
        {"garbage bytes", [](FakeDevice& d) { d.send_raw_all(Bytes(100, 0x00)); }, nullptr, OVIX_OK, OVIX_DROP_PROTOCOL},
        {"answer too short to hold a result",
         [&](FakeDevice& d) {
             d.on(Kind::IrcutControl, answer_with([](uint32_t id) { return frame_bytes(static_cast<uint16_t>(Kind::Result), id, {1, 2}, 2); }));
         },
         ircut, OVIX_ERR_DISCONNECTED, OVIX_DROP_PROTOCOL},
        {"a result that is the library's own code",
         [](FakeDevice& d) { d.on(Kind::LdrControl, [](FakeDevice::Peer& p, const Frame& r) { p.answer(r, OVIX_ERR_BAD_HANDLE); }); },
         [](int32_t h) { return Network_ClientLDRControl(h, OVIX_LDR_SPEAKER, 1); }, OVIX_ERR_DISCONNECTED, OVIX_DROP_PROTOCOL},
        {"reset in the middle of an answer",
         [](FakeDevice& d) {
             d.on(Kind::GetConfig, [](FakeDevice::Peer& peer, const Frame& request) {
                 const Bytes whole = frame_bytes(Kind::Result, request.id, Bytes(76, 0));
                 peer.send_raw(Bytes(whole.begin(), whole.begin() + 30));
                 peer.reset();
             });
         },
         clock, OVIX_ERR_DISCONNECTED, OVIX_DROP_NETWORK},
        {"closes the connection (a reboot)", [](FakeDevice& d) { d.close_all(); }, nullptr, OVIX_OK, OVIX_DROP_CLOSED},
        {"falls silent", [&](FakeDevice& d) { d.on(Kind::Ping, unanswered); }, nullptr, OVIX_OK, OVIX_DROP_SILENT},
        {"an answer that stops half-way, then silence",
         [&](FakeDevice& d) {
             d.on(Kind::Ping, unanswered);
             d.on(Kind::GetConfig, answer_with([](uint32_t id) { return frame_bytes(static_cast<uint16_t>(Kind::Result), id, Bytes(20, 0), 76); }));
         },
         clock, OVIX_ERR_TIMEOUT, OVIX_DROP_SILENT},
        {"a request never answered", [&](FakeDevice& d) { d.on(Kind::IrcutControl, unanswered); }, ircut, OVIX_ERR_TIMEOUT, kLives},
        {"an answer dribbled byte by byte",
         [](FakeDevice& d) {
             d.on(Kind::PlayVoice, [](FakeDevice::Peer& peer, const Frame& request) {
                 dribble(peer.stream.fd(), frame_bytes(Kind::Result, request.id, encode_i32(OVIX_OK)), 1);
             });
         },
         [](int32_t h) { return Network_ClientPlayVoiceData_test(h, 1); }, OVIX_OK, kLives},
        {"pushes of the largest size", [](FakeDevice& d) { for (int i = 0; i < 16; ++i) d.push_all(Kind::Event, Bytes(kMaxPayload, 0x11)); },
         [](int32_t h) {
             ovix_capability capability{};
             return Network_ClientGetCameraAdvanceConfig(h, 0, &capability, sizeof capability);
         },
         OVIX_OK, kLives},
        {"success without data to a record read",
         [](FakeDevice& d) { d.on(Kind::GetConfig, [](FakeDevice::Peer& p, const Frame& r) { p.answer(r, OVIX_OK); }); }, clock,
         OVIX_ERR_PROTOCOL, kLives},
        {"pings answered on a quiet login", [](FakeDevice&) {},
         [](int32_t) -> int32_t {
             Clock::sleep_ms(4 * OVIX_REQUEST_TIMEOUT_MS);  // well past the silence limit
             return OVIX_OK;
         },
         OVIX_OK, kLives},
    };
    for (const Row& row : rows) {
        FakeDevice fresh;  // no handler of an earlier row
        int32_t handle = -1;
        ASSERT_EQ(Network_ClientLogin(&handle, "127.0.0.1", fresh.port(), "Admin", "tevoq"), OVIX_OK) << row.what;
        EventLog events;
        ASSERT_EQ(Network_ClientSetEventCB(handle, EventLog::callback, &events), OVIX_OK);
        row.setup(fresh);
        if (row.call) {
            EXPECT_EQ(row.call(handle), row.expected) << row.what;
        }
        if (row.dropped == kLives) {
            EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 1), OVIX_OK) << row.what;
            EXPECT_EQ(Network_ClientLogout(handle), OVIX_OK) << row.what;
            EXPECT_FALSE(events.dropped()) << row.what << ": neither the row nor the logout drops the login";
            continue;
        }
        ASSERT_TRUE(eventually([&] { return events.count() == 1; })) << row.what;
        EXPECT_EQ(events.at(0).main, OVIX_EVENT_LOGIN_DROPPED) << row.what;
        EXPECT_EQ(events.at(0).sub, row.dropped) << row.what;
        EXPECT_EQ(events.at(0).login_handle, handle) << row.what;
        EXPECT_EQ(Network_ClientDeviceControl(handle, OVIX_CTRL_LAMP, 0, 1, 1), OVIX_ERR_DISCONNECTED) << row.what;
        EXPECT_EQ(Network_ClientLogout(handle), OVIX_OK) << row.what;
        EXPECT_EQ(events.count(), 1u) << row.what << ": the logout reports no second drop";
    }
}
