// Cameras answering the tool's device-info requests.
#include "FleetFixture.h"
#include "sim/FleetGenerator.h"
#include "sim/RequestGate.h"
#include "support/DeviceRecord.h"

#include <set>

TEST_F(FleetTest, BroadcastRepliesCarryEachCameraFromItsOwnAddress) {
    lab::Tool tool;
    lab::Tool bystander;  // another program on the tool's port sees broadcasts too
    start(numbered_fleet(3, ReplyMode::Broadcast));

    tool.request_devices(12345);  // broadcasts go to the tool's port whatever the request names
    const auto replies = tool.receive_many(3);
    ASSERT_EQ(replies.size(), 3u);
    wait_handled(1);
    for (int n = 1; n <= 3; ++n) {
        expect_reply_of(replies[static_cast<size_t>(n - 1)], numbered_camera(n));  // in fleet order
        const CameraActivity activity = camera(n).activity();
        EXPECT_EQ(activity.replies_sent, 1u);
        ASSERT_EQ(activity.requests.size(), 1u);
        EXPECT_EQ(activity.requests[0].server_ip, "10.77.0.1");
        EXPECT_EQ(activity.requests[0].server_port, 12345);
    }
    EXPECT_EQ(bystander.receive_many(3).size(), 3u);
    EXPECT_TRUE(tool.drain().empty());
}

TEST_F(FleetTest, BadDatagramsAreIgnoredAndTheFleetKeepsAnswering) {
    lab::Tool tool;
    start(numbered_fleet(2));

    auto wrong_magic = lab::datagram(kCmdRequestDeviceInfo, "<x/>");
    wrong_magic[0] ^= 0xFF;
    auto overlong = lab::datagram(kCmdRequestDeviceInfo, "<x/>");
    overlong[31] = 200;  // the length word promises more than arrives
    const std::string request = "<Message><Header><MSG_REQUEST_DEVICE_INFO server_ip=\"10.77.0.1\" server_port=\"12000\" /></Header></Message>";
    const std::vector<lab::Bytes> bad{
        wrong_magic, overlong, lab::datagram(kCmdDevInfoReply, "<x/>"), std::vector<unsigned char>(10, 0xFF),
        // Requests that carry no request: each would otherwise make every camera answer.
        lab::datagram(kCmdRequestDeviceInfo, ""), lab::datagram(kCmdRequestDeviceInfo, "hello"),
        lab::datagram(kCmdRequestDeviceInfo, request.substr(0, request.size() - 10)),
        lab::datagram(kCmdRequestDeviceInfo, "<Message><Header><MSG_DEV_INFO_REPLY /></Header></Message>"),
        lab::datagram(kCmdRequestDeviceInfo, "<MSG_REQUEST_DEVICE_INFO server_ip=\"10.77.0.1\" />"),
        lab::datagram(kCmdNetworkInfoRequest, ""), lab::datagram(kCmdNetworkInfoRequest, request)};
    for (const auto& datagram : bad) tool.send(datagram);
    tool.send(lab::datagram(kCmdRequestDeviceInfo, request));  // as short as a request may be

    EXPECT_EQ(tool.receive_many(2).size(), 2u);
    wait_handled(1);
    EXPECT_TRUE(tool.drain().empty());
    EXPECT_EQ(fleet->discovery().stats().datagrams_ignored, bad.size());
}

// A hostile sender on the camera LAN can forge its source address and write any address into
// a request; the fleet must not become an amplifier aimed by either.
TEST_F(FleetTest, UnicastAnswersGoToTheSenderAndAFloodGetsABoundedShare) {
    const char* victim_ip = "10.77.50.50";
    lab::Tool tool;
    lab::Socket victim(victim_ip, lab::kToolPort);
    start(numbered_fleet(2, ReplyMode::Unicast));

    REQUEST_DEVICE_INFO naming_victim{};
    set_text(naming_victim.server_ip, victim_ip);
    naming_victim.server_port = lab::kToolPort;
    MSG_REQUEST_DEVICE_INFO message;
    const lab::Bytes request = lab::encode(message, kCmdRequestDeviceInfo, &naming_victim);
    tool.send(request);
    EXPECT_EQ(tool.receive_many(2).size(), 2u) << "the answers go to the address the request came from";
    wait_handled(1);
    EXPECT_FALSE(victim.receive(200)) << "never to the address it names";

    // The same request sent from the victim's own address, as a forger would, over and over.
    const lab::Socket forger(victim_ip, 0);
    constexpr uint64_t kFlood = 200;
    const int64_t began = Clock::now_ms();
    for (uint64_t i = 0; i < kFlood; ++i) forger.send(request, lab::kBroadcast, lab::kDevicePort);
    wait_handled(1 + kFlood);
    const int64_t refills = (Clock::now_ms() - began) / RequestBudget::kRefillMs + 1;
    uint64_t replies = 0;
    while (victim.receive(200)) ++replies;
    EXPECT_GE(replies, 2u * RequestBudget::kBurst);
    EXPECT_LE(replies, 2u * static_cast<uint64_t>(RequestBudget::kBurst + refills));
    EXPECT_EQ(fleet->discovery().stats().requests_unanswered, kFlood - replies / 2);

    tool.request_devices();
    EXPECT_EQ(tool.receive_many(2).size(), 2u) << "another sender is answered as before";
}

TEST_F(FleetTest, AThousandCamerasAllAnswerOneRequest) {
    lab::Tool tool;
    FleetConfig config;
    config.cameras = generate_cameras(1000);
    start(config);

    tool.request_devices();
    std::set<std::string> macs;
    for (const auto& reply : tool.receive_many(1000)) {
        ASSERT_TRUE(reply.device());
        EXPECT_EQ(reply.source_ip, reply.device()->ip_address);
        macs.insert(reply.device()->mac_address);
    }
    EXPECT_EQ(macs.size(), 1000u);
    wait_handled(1);
    EXPECT_EQ(fleet->discovery().stats().send_failures, 0u);
}
