// The fault knobs: each makes a camera misbehave in one way the tool must survive.
#include "FleetFixture.h"
#include "sim/ReplyBuilder.h"

#include <map>

TEST_F(FleetTest, EachKnobShapesOnlyItsCamerasReplies) {
    lab::Tool tool;
    FleetConfig config = numbered_fleet(7);
    config.cameras[0].faults.duplicate_replies = 2;
    config.cameras[1].faults.malformed_reply = true;
    config.cameras[2].faults.truncated_reply = true;
    config.cameras[3].faults.empty_version = true;
    config.cameras[4].faults.zero_device_type = true;
    config.cameras[5].faults.silent = true;
    start(config);

    tool.request_devices();
    std::map<std::string, std::vector<lab::Datagram>> by_camera;
    for (auto& reply : tool.receive_many(8)) by_camera[reply.source_ip].push_back(reply);
    wait_handled(1);
    EXPECT_TRUE(tool.drain().empty());
    auto only = [&](int n) {
        const auto& replies = by_camera["10.77.1." + std::to_string(n)];
        EXPECT_EQ(replies.size(), 1u) << "camera " << n;
        return replies.empty() ? lab::Datagram{} : replies[0];
    };

    const auto& copies = by_camera["10.77.1.1"];
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_TRUE(copies[1].bytes == copies[0].bytes && copies[2].bytes == copies[0].bytes);
    EXPECT_EQ(camera(1).activity().replies_sent, 3u);

    const lab::Datagram garbled = only(2);
    EXPECT_EQ(garbled.header().payload_length() + kDiscoveryHeaderSize, garbled.bytes.size());
    EXPECT_FALSE(garbled.device());

    const lab::Datagram cut = only(3);
    ReplyDatagram whole;
    ASSERT_TRUE(build_reply(numbered_camera(3), 13000, whole));
    EXPECT_EQ(cut.header().payload_length() + kDiscoveryHeaderSize, whole.length);
    ASSERT_LT(cut.bytes.size(), whole.length);
    EXPECT_TRUE(std::equal(cut.bytes.begin(), cut.bytes.end(), whole.bytes.begin())) << "a prefix of the whole reply";

    EXPECT_NE(only(4).payload().find("software_ver=\"\""), std::string::npos);
    EXPECT_FALSE(only(4).device());
    EXPECT_NE(only(5).payload().find("device_type=\"0\""), std::string::npos);
    EXPECT_FALSE(only(5).device());
    EXPECT_EQ(camera(4).current().software_ver, "2.4.4") << "the knobs change what is sent, not the camera";

    EXPECT_FALSE(by_camera.count("10.77.1.6"));
    expect_reply_of(only(7), numbered_camera(7));

    // The silent camera still hears, and applies a change without a word.
    tool.request_change(lab::change_request("00:1A:2B:00:00:06", "10.77.8.8"));
    wait_handled(2);
    EXPECT_TRUE(tool.drain().empty());
    EXPECT_EQ(camera(6).current().ip_address, "10.77.8.8");
    EXPECT_EQ(camera(6).activity().requests_seen, 2u);
}

TEST_F(FleetTest, LateAndSpreadRepliesComeInTheirOrder) {
    lab::Tool tool;
    FleetConfig config = numbered_fleet(3);
    config.reply_spread_ms = 600;              // camera 2 after 200 ms, camera 3 after 400 ms
    config.cameras[0].faults.reply_delay_ms = 2000;
    start(config);

    tool.request_devices();
    wait_handled(1);
    EXPECT_GE(fleet->discovery().stats().replies_pending, 2u);
    EXPECT_EQ(camera(1).activity().replies_sent, 0u);
    const auto replies = tool.receive_many(3);
    std::vector<std::string> from;
    for (const lab::Datagram& reply : replies) from.push_back(reply.source_ip);
    ASSERT_EQ(from, (std::vector<std::string>{"10.77.1.2", "10.77.1.3", "10.77.1.1"}));
    EXPECT_TRUE(replies[2].device());
}
