#include "EngineLab.h"
#include "discovery/PrivateDiscover.h"
#include "support/LogCapture.h"

using namespace lab;

namespace {

using EngineTest = LabTest;
using Addresses = std::vector<std::string>;

// The MAC and source address of the next change request the camera hears.
std::string next_change(FakeCamera& camera) {
    const auto d = camera.receive(kCmdNetworkInfoRequest);
    const auto request = d ? d->decode<MSG_NETWORK_INFO_REQUEST, NETWORK_INFO_REQUEST>() : std::nullopt;
    return request ? request->dev_mac + std::string(" from ") + d->source_ip : "nothing";
}

TEST_F(EngineTest, LocalAddressesSkipLoopbackAndRepeatsAndRefuseOverflow) {
    Addresses found{"stale"};
    ASSERT_TRUE(query_local_ipv4_addresses(found));
    EXPECT_EQ(found, Addresses{"10.77.0.1"});
    private_discover platform(config);
    platform.init();
    EXPECT_EQ(platform.local_addresses(), Addresses{"10.77.0.1"});

    config.local_addresses = [] { return Addresses{"10.77.0.2", "127.0.0.1", "10.77.0.1", "10.77.0.2"}; };
    private_discover listed(config);
    listed.init();
    EXPECT_EQ(listed.local_addresses(), (Addresses{"10.77.0.2", "10.77.0.1"}));

    config.local_addresses = [] { return Addresses(11, "10.77.0.1"); };
    private_discover crowded(config);
    EXPECT_EQ(crowded.get_host_ip(), 1u);
    EXPECT_TRUE(crowded.local_addresses().empty());
}

// Without a default route a broadcast needs a bound local source address.
TEST_F(EngineTest, ChangeRequestLeavesFromLocalAddressesWithoutDefaultRoute) {
    config.local_addresses = [] { return Addresses{"10.77.0.1", "10.77.0.2"}; };
    FakeCamera camera("10.77.0.9");
    private_discover engine(config);
    engine.init();

    ASSERT_EQ(engine.send_change_ip_request(change_request("00:12:41:00:00:0a", "10.77.3.3")), 0u);
    EXPECT_EQ(next_change(camera), "00:12:41:00:00:0a from 10.77.0.1");
    EXPECT_EQ(next_change(camera), "00:12:41:00:00:0a from 10.77.0.2");

    // With a refresh address set, one copy leaves from it alone.
    engine.refresh("10.77.0.2");
    ASSERT_EQ(engine.send_change_ip_request(change_request("00:12:41:00:00:0b", "10.77.3.3")), 0u);
    ASSERT_EQ(engine.send_change_ip_request(change_request("00:12:41:00:00:0c", "10.77.3.3")), 0u);
    EXPECT_EQ(next_change(camera), "00:12:41:00:00:0b from 10.77.0.2");
    EXPECT_EQ(next_change(camera), "00:12:41:00:00:0c from 10.77.0.2");

    // With no local address the platform must choose and, without a route, cannot.
    config.local_addresses = [] { return Addresses{}; };
    private_discover alone(config);
    alone.init();
    LogCapture log;
    EXPECT_EQ(alone.send_change_ip_request(change_request("00:12:41:00:00:0d", "10.77.3.3")), 0u);
    EXPECT_TRUE(log.contains("error_code = " + std::to_string(ENETUNREACH)));
}

TEST_F(EngineTest, SweepSendsOneRequestPerLocalAddressFromTheReceivePort) {
    config.local_addresses = [] { return Addresses{"10.77.0.1", "10.77.0.2"}; };
    FakeCamera camera("10.77.0.9");
    private_discover engine(config);
    engine.init();

    // No refresh address: each request leaves from the address it names.
    ASSERT_EQ(engine.send_request_to_all(), 0u);
    for (const char* address : {"10.77.0.1", "10.77.0.2"}) {
        const auto d = camera.receive(kCmdRequestDeviceInfo);
        ASSERT_TRUE(d);
        const auto request = d->decode<MSG_REQUEST_DEVICE_INFO, REQUEST_DEVICE_INFO>();
        ASSERT_TRUE(request);
        // The server named in the request, its connection type, and the source of the datagram.
        EXPECT_EQ(std::tuple(std::string(request->server_ip), request->server_port, request->connection_type, d->source_ip,
                             d->source_port), std::tuple(std::string(address), 12000, 2, std::string(address), 12000));
    }

    // A refresh address that is not local cannot be bound: the sweep fails.
    LogCapture log;
    EXPECT_EQ(engine.refresh("10.78.0.1"), 0u);
    EXPECT_EQ(engine.refresh_address(), "10.78.0.1");
    EXPECT_EQ(engine.send_request_to_all(), 1u);
    EXPECT_TRUE(log.contains("bind prepare for receiving error\n"));
}

} // namespace
