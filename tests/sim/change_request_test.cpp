// Cameras applying the tool's change requests.
#include "FleetFixture.h"

TEST_F(FleetTest, ChangedCameraAnswersFromItsNewAddressWithItsNewSettings) {
    lab::Tool tool;
    start(numbered_fleet(3));

    auto change = lab::change_request("00:1A:2B:00:00:02", "10.77.9.9", "255.255.255.0", "10.77.9.254");
    change.new_dev_cmdport = 7100;
    change.new_dev_mediaport = 0;  // 0 and negative ports keep the old value
    change.new_dev_httpport = -1;
    change.new_dev_mobileport = 7300;
    tool.request_change(change);

    const auto reply = tool.receive();
    ASSERT_TRUE(reply);
    CameraConfig expected = numbered_camera(2);
    expected.ip_address = "10.77.9.9", expected.subnet_mask = "255.255.255.0", expected.gateway = "10.77.9.254";
    expected.cmd_port = 7100, expected.phone_port = 7300;
    expect_reply_of(*reply, expected);
    wait_handled(1);
    EXPECT_TRUE(tool.drain().empty()) << "only the named camera answers";
    EXPECT_EQ(camera(2).current(), expected);
    ASSERT_EQ(camera(2).activity().changes.size(), 1u);
    EXPECT_EQ(camera(2).activity().changes[0].before, numbered_camera(2));
    for (int n : {1, 3}) {
        EXPECT_EQ(camera(n).current(), numbered_camera(n));
        EXPECT_FALSE(camera(n).activity().requests.at(0).for_me);
    }

    // From now on the camera is found at its new address, and only there; a request to an
    // address no camera holds reaches none.
    tool.request_devices(12000, "10.77.1.2");
    tool.request_devices(12000, "10.77.9.9");
    const auto direct = tool.receive();
    ASSERT_TRUE(direct);
    EXPECT_EQ(direct->source_ip, "10.77.9.9");
    wait_handled(2);
    EXPECT_TRUE(tool.drain().empty());
}

TEST_F(FleetTest, RequestNamingAnotherMacChangesNobody) {
    lab::Tool tool;
    start(numbered_fleet(2));

    // The MAC must match exactly: no case folding, no prefixes.
    for (const char* mac : {"00:1a:2b:00:00:02", "00:1A:2B:00:00:0", "00:1A:2B:00:00:022"})
        tool.request_change(lab::change_request(mac, "10.77.9.9"));
    wait_handled(3);
    EXPECT_TRUE(tool.drain().empty());
    for (int n : {1, 2}) {
        EXPECT_EQ(camera(n).current(), numbered_camera(n));
        EXPECT_EQ(camera(n).activity().requests_seen, 3u);
    }
}

TEST_F(FleetTest, UnicastAnswerToAChangeGoesWhereTheToolWasLastHeard) {
    lab::Tool tool(12345, lab::kToolAddress);
    lab::Tool usual_port(12000);
    start(numbered_fleet(2, ReplyMode::Unicast));

    // Never asked by a tool yet: the answer goes to the sender's address on the tool's port.
    tool.request_change(lab::change_request("00:1A:2B:00:00:01", "10.77.5.1"));
    auto reply = usual_port.receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->source_ip, "10.77.5.1");

    tool.request_devices(12345);
    EXPECT_EQ(tool.receive_many(2).size(), 2u);
    tool.request_change(lab::change_request("00:1A:2B:00:00:01", "10.77.5.2"));
    reply = tool.receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->source_ip, "10.77.5.2");
    wait_handled(3);
    EXPECT_TRUE(usual_port.drain().empty());
}
