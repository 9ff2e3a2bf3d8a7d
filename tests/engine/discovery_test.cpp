#include "EngineLab.h"
#include "discovery/Discovery.h"
#include "support/LogCapture.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>
#include <tuple>

using namespace lab;

namespace {

constexpr int32_t kForever = 2147483647;  // one sweep at start, then only on refresh
const std::string kMac = "00:12:41:00:00:05";

class DiscoveryTest : public LabTest {
protected:
    // Once the sweep at start has reached the camera, no sweep socket competes for replies,
    // so the receiver handles them all, in order.
    static void await_start_sweep(FakeCamera& camera) { ASSERT_TRUE(camera.receive(kCmdRequestDeviceInfo)); }
    void start(CDiscovery& discovery, FakeCamera& camera) {
        ASSERT_EQ(discovery.StartDiscovery(kForever), 0u);
        ASSERT_EQ(discovery.SetDiscoveryCB(&Reports::callback, &reports), 0u);
        await_start_sweep(camera);
    }
    static std::vector<DEV_INFO> table(CDiscovery& discovery) {
        std::vector<DEV_INFO> list;
        int count = 0;
        discovery.GetDeviceList(list, count);
        return list;
    }

    Reports reports;
};

TEST_F(DiscoveryTest, NewUnchangedAndChangedDevicesAreReportedOnce) {
    LogCapture log;
    FakeCamera camera("10.77.0.5");
    CDiscovery discovery(config);
    ASSERT_NO_FATAL_FAILURE(start(discovery, camera));
    DEV_INFO device = make_device_record(kMac, "10.77.0.5");

    camera.reply(device);
    camera.reply(device);
    ASSERT_TRUE(eventually([&] { return log.count("dev ip = 10.77.0.5 \n") == 2; }));
    set_text(device.software_ver, "2.4.2");
    camera.reply(device);
    ASSERT_TRUE(reports.wait_for(2));
    // A reply naming another address is taken at its source address.
    FakeCamera moved("10.77.0.6");
    moved.reply(make_device_record("00:12:41:00:00:06", "192.168.1.9"));
    ASSERT_TRUE(reports.wait_for(3));

    std::vector<std::string> got;  // new (1) or changed (0), version, address
    for (const auto& r : reports.items())
        got.push_back(std::to_string(r.flag) + " " + r.device.software_ver + " " + r.device.ip_address);
    EXPECT_EQ(got, (std::vector<std::string>{"1 2.4.1 10.77.0.5", "0 2.4.2 10.77.0.5", "1 2.4.1 10.77.0.6"}));
    EXPECT_TRUE(log.contains("set dev ip = 192.168.1.9 to src ip 10.77.0.6\n"));

    // The list is appended to and the counter added to, in table order.
    std::vector<DEV_INFO> list(1);
    int count = 3;
    EXPECT_EQ(discovery.GetDeviceList(list, count), 0u);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(std::tuple(count, std::string(list[1].software_ver), std::string(list[2].ip_address)),
              std::tuple(5, "2.4.2", "10.77.0.6"));
}

TEST_F(DiscoveryTest, RepliesBeforeTheCallbackAreDropped) {
    LogCapture log;
    FakeCamera camera("10.77.0.5");
    CDiscovery discovery(config);
    ASSERT_EQ(discovery.StartDiscovery(kForever), 0u);
    ASSERT_NO_FATAL_FAILURE(await_start_sweep(camera));
    camera.reply(make_device_record(kMac, "10.77.0.5"));
    // Datagrams are handled in order: once this one is logged the reply was seen.
    camera.send_raw(std::vector<unsigned char>(kDiscoveryHeaderSize, 0));
    ASSERT_TRUE(eventually([&] { return log.contains("magic number error"); }));

    ASSERT_EQ(discovery.SetDiscoveryCB(&Reports::callback, &reports), 0u);
    camera.reply(make_device_record("00:12:41:00:00:06", "10.77.0.5"));
    ASSERT_TRUE(reports.wait_for(1));
    ASSERT_EQ(table(discovery).size(), 1u);
    EXPECT_STREQ(table(discovery)[0].mac_address, "00:12:41:00:00:06");
    camera.reply(make_device_record(kMac, "10.77.0.5"));
    ASSERT_TRUE(reports.wait_for(2));
    EXPECT_EQ(reports.items()[1].flag, 1u);
}

// A sweep's request socket shares the receive port; replies sent by unicast or broadcast,
// during the sweep or after it, must still reach the receive socket.
class SweepReplies : public DiscoveryTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SweepReplies, ReachTheReceiverDuringAndAfterTheSweep) {
    FakeCamera camera("10.77.0.5");
    const auto caller = std::this_thread::get_id();
    std::atomic<bool> answered{false};
    bool heard_during_sweep = false;
    // The pause after a request is a moment when the sweep's socket is certainly open.
    ScopedSleepObserver observer([&](int64_t ms) {
        if (ms != 200 || std::this_thread::get_id() != caller || answered.exchange(true)) return;
        camera.reply(make_device_record("00:12:41:00:00:01", "10.77.0.5"));
        camera.reply(make_device_record("00:12:41:00:00:02", "10.77.0.5"), "255.255.255.255");
        heard_during_sweep = reports.wait_for(2);
    });
    CDiscovery discovery(config);
    ASSERT_NO_FATAL_FAILURE(start(discovery, camera));
    ASSERT_EQ(discovery.RefreshDiscovery(GetParam()), 0u);
    EXPECT_TRUE(heard_during_sweep);

    camera.reply(make_device_record("00:12:41:00:00:03", "10.77.0.5"));
    camera.reply(make_device_record("00:12:41:00:00:04", "10.77.0.5"), "255.255.255.255");
    EXPECT_TRUE(reports.wait_for(4));
    discovery.StopDiscovery();
    std::set<std::string> macs;
    for (const auto& r : reports.items()) macs.insert(r.device.mac_address);
    EXPECT_EQ(macs.size(), 4u);
}

std::string refresh_name(const ::testing::TestParamInfo<const char*>& p) { return p.param ? "Bound" : "Unbound"; }
INSTANTIATE_TEST_SUITE_P(RefreshAddress, SweepReplies, ::testing::Values("10.77.0.1", nullptr), refresh_name);

TEST_F(DiscoveryTest, ChangeRequestsAreFilledFromTheTableAndTraced) {
    FakeCamera camera("10.77.0.5");
    CDiscovery discovery(config);
    ASSERT_NO_FATAL_FAILURE(start(discovery, camera));
    camera.reply(make_device_record(kMac, "10.77.0.5"));
    ASSERT_TRUE(reports.wait_for(1));

    NETWORK_INFO_REQUEST unknown = change_request("00:12:41:00:00:99", "");
    NETWORK_INFO_REQUEST with_port = change_request(kMac, "10.77.3.3");
    NETWORK_INFO_REQUEST plain = change_request(kMac, "10.77.4.4", "255.255.255.0", "10.77.4.254");
    EXPECT_EQ(discovery.ChangeIpPort(&unknown), 1u);
    EXPECT_EQ(discovery.ChangeIpPort(&with_port), 0u);
    EXPECT_EQ(discovery.ChangeIp(&plain), 0u);

    EXPECT_STREQ(with_port.new_dev_submask, "255.255.0.0");
    EXPECT_STREQ(with_port.new_dev_gateway, "10.77.0.254");
    EXPECT_STREQ(plain.new_dev_submask, "255.255.255.0");
    for (const auto* request : {&with_port, &plain}) {
        EXPECT_EQ((std::vector<int32_t>{request->new_dev_cmdport, request->new_dev_mediaport, request->new_dev_mobileport,
                                         request->new_dev_httpport}), (std::vector<int32_t>{6001, 6002, 6003, 80}));
        // The camera hears exactly the filled request; the unknown MAC sent nothing before it.
        const auto d = camera.receive(kCmdNetworkInfoRequest);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->source_ip, "10.77.0.1");
        const auto heard = d->decode<MSG_NETWORK_INFO_REQUEST, NETWORK_INFO_REQUEST>();
        ASSERT_TRUE(heard);
        EXPECT_EQ(std::memcmp(&*heard, request, sizeof *heard), 0);
    }

    EXPECT_EQ(discovery.StopDiscovery(), 0u);
    EXPECT_EQ(discovery.ChangeIp(&plain), 7u);
    EXPECT_EQ(support::file_text(trace_dir.path() + "/recv.txt"),
              "mac = 00:12:41:00:00:05, ip = 10.77.0.5, submask = 255.255.0.0, gateway = 10.77.0.254, "
              "version = 2.4.1, cmd = 6001, media = 6002, http = 80, mobile = 6003\n\n");
    EXPECT_EQ(support::file_text(trace_dir.path() + "/send.txt"),
              "mac = 00:12:41:00:00:05, ip = 10.77.3.3, submask = 255.255.0.0, gateway = 10.77.0.254, "
              "cmd = 6001, media = 6002, http = 80, mobile = 6003\n\n"
              "mac = 00:12:41:00:00:05, ip = 10.77.4.4, submask = 255.255.255.0, gateway = 10.77.4.254, "
              "cmd = 6001, media = 6002, http = 80, mobile = 6003\n\n");
}

TEST_F(DiscoveryTest, StartAndStopAnswerWithTheirCodes) {
    CDiscovery discovery(config);
    NETWORK_INFO_REQUEST request{};
    // In the order listed: not running (7), no callback (8), started, already running (6).
    EXPECT_EQ((std::vector<uint32_t>{discovery.StopDiscovery(), discovery.RefreshDiscovery("10.77.0.1"),
                                     discovery.ChangeIpPort(&request), discovery.SetDiscoveryCB(nullptr, nullptr),
                                     discovery.StartDiscovery(kForever), discovery.StartDiscovery(kForever),
                                     discovery.StopDiscovery(), discovery.StopDiscovery()}),
              (std::vector<uint32_t>{7, 7, 7, 8, 0, 6, 0, 7}));

    // A receive port held by another program leaves discovery running but deaf.
    int holder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(12000);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    LogCapture log;
    EXPECT_EQ(discovery.StartDiscovery(kForever), 0u);
    EXPECT_TRUE(discovery.IsRunning());
    EXPECT_TRUE(log.contains("bind prepare for receiving error\n"));
    EXPECT_EQ(discovery.StopDiscovery(), 0u);
    close(holder);
}

TEST_F(DiscoveryTest, ShortIntervalIsRaisedToOneSecond) {
    // Without local addresses a sweep neither sends nor pauses: every 200 ms sleep is a
    // slice of the sender's pause between sweeps.
    config.local_addresses = [] { return std::vector<std::string>{}; };
    std::mutex mutex;
    std::string events;
    auto record = [&](const char* event) {
        std::lock_guard<std::mutex> lock(mutex);
        events += event;
    };
    {
        LogCapture restores_the_sink;
        set_debug_log_sink([&](std::string_view line) {
            if (line.rfind("create_socket", 0) == 0) record("S");
        });
        ScopedSleepObserver observer([&](int64_t ms) { record(ms == 200 ? "2" : ms == 100 ? "1" : ""); });
        CDiscovery discovery(config);
        ASSERT_EQ(discovery.StartDiscovery(500), 0u);
        EXPECT_TRUE(eventually([&] {
            std::lock_guard<std::mutex> lock(mutex);
            return std::count(events.begin(), events.end(), 'S') >= 3;
        }));
        discovery.StopDiscovery();
    }
    EXPECT_EQ(events.substr(0, 13), "S22222S22222S");
}

} // namespace
