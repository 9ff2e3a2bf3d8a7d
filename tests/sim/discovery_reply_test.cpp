// Cameras answering the tool's device-info requests.
#include "FleetFixture.h"
#include "sim/FleetGenerator.h"

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

TEST_F(FleetTest, UnicastRepliesGoToTheAddressAndPortTheRequestNames) {
    lab::Tool tool(12345, lab::kToolAddress);
    lab::Tool broadcast_listener(12000);
    start(numbered_fleet(2, ReplyMode::Unicast));

    tool.request_devices(12345);
    const auto replies = tool.receive_many(2);
    ASSERT_EQ(replies.size(), 2u);
    expect_reply_of(replies[0], numbered_camera(1));
    expect_reply_of(replies[1], numbered_camera(2));
    wait_handled(1);
    EXPECT_TRUE(broadcast_listener.drain().empty());
}

TEST_F(FleetTest, RequestSentToOneAddressReachesOnlyTheCameraThere) {
    lab::Tool tool;
    start(numbered_fleet(3));

    tool.request_devices(12000, "10.77.1.2");
    tool.request_devices(12000, "10.77.200.200");  // local in the lab, but no camera's
    const auto reply = tool.receive();
    ASSERT_TRUE(reply);
    expect_reply_of(*reply, numbered_camera(2));
    tool.request_devices();
    EXPECT_EQ(tool.receive_many(3).size(), 3u);
    wait_handled(2);
    EXPECT_TRUE(tool.drain().empty());
    EXPECT_TRUE(camera(2).activity().requests[0].unicast);
    EXPECT_EQ(camera(1).activity().requests_seen, 1u);
}

TEST_F(FleetTest, BadDatagramsAreIgnoredAndTheFleetKeepsAnswering) {
    lab::Tool tool;
    start(numbered_fleet(2));

    auto wrong_magic = lab::datagram(kCmdRequestDeviceInfo, "<x/>");
    wrong_magic[0] ^= 0xFF;
    auto overlong = lab::datagram(kCmdRequestDeviceInfo, "<x/>");
    overlong[31] = 200;  // the length word promises more than arrives
    for (const auto& bad : {wrong_magic, overlong, lab::datagram(kCmdDevInfoReply, "<x/>"), std::vector<unsigned char>(10, 0xFF)})
        tool.send(bad);
    tool.request_devices();

    EXPECT_EQ(tool.receive_many(2).size(), 2u);
    wait_handled(1);
    EXPECT_TRUE(tool.drain().empty());
    EXPECT_EQ(fleet->discovery().stats().datagrams_ignored, 4u);
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
