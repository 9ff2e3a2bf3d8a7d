// Hostile device SDK traffic inside the lab. Frames no client sends go to the cameras of a
// running fleetset-sim; after each group the real client library must still log in and be
// served on the camera that took them and on another, and the simulator must neither end,
// nor hang, nor keep threads or memory for what it was sent. Single requests and the client's
// side of hostile devices are the wire contract tables' (tests/sim, tests/sdk) and the fuzz
// targets' (frames, sim_session, firmware).
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/Socket.h"
#include "support/ChildProcess.h"
#include "support/Eventually.h"
#include "support/RawClient.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <memory>

using namespace ovix;
using support::ChildProcess;
using support::dribble;
using support::eventually;
using support::frame_bytes;

namespace {

constexpr int kCameras = 3;
// The simulator runs five times faster than real time: its login deadline (5 s) and its wait
// for image bytes (30 s) pass in one and six real seconds. The client in this process keeps
// real time, so its own limits stay those a user meets.
constexpr const char* kSimSpeed = "5";

std::string camera_ip(int n) { return "10.77.1." + std::to_string(n); }

// Another build (an installed package, say) can be put to the same test.
std::string sim_program() {
    const char* other = std::getenv("FLEETSET_SMOKE_SIM");
    return other && *other ? other : FLEETSET_SIM_PATH;
}

// A bare connection to camera n's command port.
struct Raw : support::RawClient {
    explicit Raw(int camera) : RawClient(camera_ip(camera), 6001) {}
};

class DeviceSmoke : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_STREQ(std::getenv("FLEETSET_IN_LAB"), "1") << "run inside scripts/netlab.sh";
        ASSERT_EQ(Network_ClientInit(), OVIX_OK);
        m_sim = std::make_unique<ChildProcess>(sim_program(), std::vector<std::string>{"--count", std::to_string(kCameras)},
                                               work.path(), "sim.out", "sim.err",
                                               ChildProcess::Environment{{"FLEETSET_TIME_SPEED", kSimSpeed}});
        ASSERT_TRUE(eventually([&] { return m_sim->output().find(" cameras answering") != std::string::npos || !m_sim->running(); }));
        ASSERT_TRUE(m_sim->running()) << m_sim->errors();
        std::ifstream("/proc/thread-self/children") >> m_sim_pid;  // the one child, started above
        m_threads = sim_status("Threads");  // before any connection
        ASSERT_GT(m_threads, 0) << "no status of process " << m_sim_pid;
        ASSERT_TRUE(served(1));
        m_memory_kb = sim_status("VmRSS");
    }
    void TearDown() override {
        Network_ClientUnInit();
        EXPECT_TRUE(m_sim->running()) << "the simulator ended by itself: " << m_sim->errors();
        m_sim->signal(SIGTERM);
        EXPECT_EQ(m_sim->wait(), 0) << m_sim->errors();
    }

    // One line of the simulator's /proc status as a number ("VmRSS" in KiB, "Threads").
    long sim_status(const std::string& field) const {
        std::ifstream status("/proc/" + std::to_string(m_sim_pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind(field + ":", 0) == 0) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        return -1;
    }
    // A genuine login on camera n is served: the device information names the camera.
    bool served(int n) {
        int32_t handle = -1;
        if (Network_ClientLogin(&handle, camera_ip(n).c_str(), 6001, "Admin", "") != OVIX_OK) return false;
        ovix_device_info info{};
        const int32_t result = Network_ClientGetDeviceConfig(handle, OVIX_CMD_DEVICE_INFO, 0, &info, sizeof info);
        const bool logged_out = Network_ClientLogout(handle) == OVIX_OK;
        return result == OVIX_OK && logged_out && std::string(info.mac) == "00:1A:2B:00:00:0" + std::to_string(n);
    }
    // After a group: the attacked camera and another serve genuine logins, and once the
    // hostile connections are gone the simulator holds no more threads than before and at
    // most a few MB more memory (a buffer kept for each lying length would be megabytes).
    void expect_unharmed(int attacked) {
        EXPECT_TRUE(served(attacked));
        EXPECT_TRUE(served(attacked % kCameras + 1));
        EXPECT_TRUE(eventually([&] { return sim_status("Threads") <= m_threads; }))
            << sim_status("Threads") << " threads, " << m_threads << " before";
        const long grown_kb = sim_status("VmRSS") - m_memory_kb;
        RecordProperty("sim_memory_growth_kb", std::to_string(grown_kb));
        EXPECT_LT(grown_kb, kMemoryGrowthLimitKb);
    }

    // The sanitizers keep memory of their own per thread and per freed block (shadow,
    // quarantine), which shows as resident growth of some tens of MB under the hostile
    // connections' churn; the plain build holds the bound that catches a kept buffer.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    static constexpr long kMemoryGrowthLimitKb = 96 * 1024;
#else
    static constexpr long kMemoryGrowthLimitKb = 8 * 1024;
#endif

    support::TempDir work{"fleetset-device-smoke"};
    std::unique_ptr<ChildProcess> m_sim;
    pid_t m_sim_pid = -1;
    long m_threads = 0;
    long m_memory_kb = 0;
};

TEST_F(DeviceSmoke, BadMagicAndLyingLengthsEndOnlyTheirOwnConnection) {
    const uint16_t login = static_cast<uint16_t>(Kind::Login), set = static_cast<uint16_t>(Kind::SetConfig);
    Bytes bad_magic = frame_bytes(Kind::Login, 1, Bytes(100, 0));
    bad_magic[0] ^= 0xFF;
    for (const Bytes& before_login : {bad_magic, frame_bytes(login, 1, {}, 0xFFFFFFFFu), frame_bytes(login, 1, {}, kMaxPayload),
                                      frame_bytes(login, 1, Bytes(10, 0), 200)}) {
        Raw raw(1);
        raw.send(before_login);
        EXPECT_TRUE(raw.hung_up());
    }
    for (const Bytes& after_login : {bad_magic, frame_bytes(set, 2, {}, kMaxPayload + 1)}) {
        Raw raw(1);
        ASSERT_EQ(raw.log_in(), OVIX_OK);
        raw.send(after_login);
        EXPECT_TRUE(raw.hung_up());
    }
    // Lengths that promise more than comes, from logged-in clients that then say nothing:
    // their connections wait, the camera serves others meanwhile.
    std::vector<std::unique_ptr<Raw>> waiting;
    for (int i = 0; i < 4; ++i) {
        waiting.push_back(std::make_unique<Raw>(1));
        ASSERT_EQ(waiting.back()->log_in(), OVIX_OK);
        waiting.back()->send(frame_bytes(set, 2, Bytes(100, 0), kMaxPayload));
    }
    EXPECT_TRUE(served(1));
    waiting.clear();
    expect_unharmed(1);
}

// Frames read in whatever pieces they come are the frames fuzz target's promise; here what
// dribblers that never finish cost the program.
TEST_F(DeviceSmoke, DribblersThatNeverFinishAreClosed) {
    // Fifty connections that each send half a header, a byte at a time, and never the rest.
    std::vector<std::unique_ptr<Raw>> slow;
    for (int i = 0; i < 50; ++i) slow.push_back(std::make_unique<Raw>(1 + i % 2));
    for (int step = 0; step < 6; ++step)
        for (auto& s : slow) dribble(s->fd(), Bytes(1, step == 0 ? 0x4F : 0), 0);
    EXPECT_TRUE(served(1));
    for (auto& s : slow) EXPECT_TRUE(s->hung_up()) << "the login deadline";
    slow.clear();
    expect_unharmed(1);
}

TEST_F(DeviceSmoke, HundredsOfIdleConnectionsShutOutNobody) {
    std::vector<int> idle;
    for (int i = 0; i < 500; ++i) idle.push_back(tcp_connect(camera_ip(i < 400 ? 1 : 2), 6001, Clock::now_ms() + 5000, nullptr));
    for (int n = 1; n <= kCameras; ++n) EXPECT_TRUE(served(n)) << n;
    // A few waiting connections per camera; those pushed out end soon after.
    const long bound = m_threads + 4 * 8;
    EXPECT_TRUE(eventually([&] { return sim_status("Threads") <= bound; }))
        << sim_status("Threads") << " threads with idle connections, bound " << bound;
    RecordProperty("sim_threads_with_idle_connections", std::to_string(sim_status("Threads")));
    for (int fd : idle) ::close(fd);
    expect_unharmed(1);
}

} // namespace
