// Reading a fleet from its JSON description.
#include "sim/FleetConfigFile.h"
#include "sim/FleetGenerator.h"
#include "support/TempFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;

TEST(FleetConfigFile, ReadsFleetSettingsCamerasAndFaults) {
    const FleetPlan plan = parse_fleet_plan(R"({
        "reply": "unicast", "device_port": 13100, "tool_port": 12100, "broadcast_address": "10.77.255.255",
        "reply_spread_ms": 250, "count": 4, "demo_mix": true,
        "faults": { "duplicate_replies": 2, "silent": true },
        "cameras": [
          { "mac_address": "AA", "ip_address": "10.77.3.1", "subnet_mask": "255.255.255.0", "gateway": "10.77.3.254",
            "cmd_port": 1, "media_port": 2, "http_port": 3, "phone_port": 0,
            "ipc_type": -7, "board_type": "0x3516", "device_type": 201, "software_ver": "",
            "faults": { "silent": false, "truncated_reply": true } },
          { "mac_address": "BB", "ip_address": "10.77.3.2" }
        ]})", "fleet.json");

    const FleetConfig& fleet = plan.fleet;
    EXPECT_EQ(std::tuple(fleet.reply_mode, fleet.device_port, fleet.tool_port, fleet.broadcast_address, fleet.reply_spread_ms),
              std::tuple(ReplyMode::Unicast, 13100, 12100, "10.77.255.255", 250));
    EXPECT_EQ(std::pair(plan.generate, plan.demo_mix), std::pair(size_t{4}, true));
    ASSERT_EQ(fleet.cameras.size(), 2u);
    // A camera's knobs override the fleet's one by one.
    const DiscoveryFaults overridden{.duplicate_replies = 2, .truncated_reply = true, .silent = false};
    EXPECT_EQ(fleet.cameras[0], (CameraConfig{"AA", "10.77.3.1", "255.255.255.0", "10.77.3.254", 1, 2, 3, 0, -7, 0x3516, 201, "", overridden, {}}));
    // Without settings of its own a camera takes the defaults and the fleet's faults.
    CameraConfig plain;
    plain.mac_address = "BB";
    plain.ip_address = "10.77.3.2";
    plain.faults = plan.generated_faults;
    EXPECT_EQ(fleet.cameras[1], plain);
    EXPECT_EQ(plan.generated_faults, (DiscoveryFaults{.duplicate_replies = 2, .silent = true}));
}

TEST(FleetConfigFile, DocumentedExampleIsValid) {
    const std::string text = support::file_text(FLEETSET_SOURCE_DIR "/docs/simulator.md");
    const size_t begin = text.find("```json\n") + 8;
    const FleetConfig fleet = build_fleet(parse_fleet_plan(text.substr(begin, text.find("```", begin) - begin), "simulator.md"));
    ASSERT_EQ(fleet.cameras.size(), 5u);
    EXPECT_EQ(fleet.cameras[1].faults.reply_delay_ms, 1500);
    EXPECT_EQ(fleet.cameras[0].device.users, (std::vector<CameraUser>{{"Admin", "tevoq"}, {"installer", "1234"}}));
    EXPECT_EQ(fleet.cameras[1].device.faults.answers.size(), 2u) << "a camera's rules replace the fleet's";
    EXPECT_EQ(fleet.cameras[4].device.faults.answers.size(), 1u) << "generated cameras take the fleet's";
}

TEST(FleetConfigFile, ReadsTheDeviceSideWithFleetDefaultsOverriddenKnobByKnob) {
    const FleetConfig fleet = build_fleet(parse_fleet_plan(R"({
        "count": 1, "user_limit": 3, "admin_password": "tevoq", "dhcp_pool_start": "10.77.210.1", "max_connections": 50,
        "announce_after_reboot": false, "frame_rate": 25,
        "sdk_faults": { "upgrade_drop_percent": 40, "link_bytes_per_second": 8192 },
        "cameras": [ { "mac_address": "AA", "ip_address": "10.77.3.1",
            "users": { "operator": "x", "Admin": "" }, "board_id": "0x1A2B", "cloud_uid": "U1",
            "tf_card": { "present": false }, "capability": { "ptz": 0, "lamp_type": -1 },
            "settings": { "time_zone": -3600, "dhcp_enable": 1 }, "reboot_ms": 500, "announce_after_reboot": true, "version_policy": "any", "frame_rate": 60,
            "sdk_faults": { "upgrade_drop_percent": -1, "reboot_never_returns": true,
                            "answers": [ { "request": "set_config", "command": 1060, "nth": 2 } ] } } ]})", "fleet.json"));
    EXPECT_EQ(fleet.dhcp_pool_start, "10.77.210.1");
    EXPECT_EQ(fleet.max_connections, 50);
    ASSERT_EQ(fleet.cameras.size(), 2u);
    // Its own users, Admin first; every other knob of its own over the fleet's.
    DeviceSide listed;
    listed.users = {{"Admin", ""}, {"operator", "x"}};
    listed.user_limit = 3, listed.board_id = 0x1A2B, listed.cloud_uid = "U1", listed.tf_card.present = false;
    listed.capability.ptz = 0, listed.capability.lamp_type = -1;
    listed.settings.time_zone = -3600, listed.settings.dhcp = true;
    listed.reboot_ms = 500, listed.announce_after_reboot = true, listed.version_policy = VersionPolicy::Any;
    listed.frame_rate = 60;
    listed.faults.upgrade_drop_percent = -1, listed.faults.link_bytes_per_second = 8192;
    listed.faults.reboot_never_returns = true, listed.faults.answers = {{"set_config", 1060, 17, 2, 1, 0}};
    EXPECT_EQ(fleet.cameras[0].device, listed);
    DeviceSide generated;  // the fleet's knobs
    generated.users = {{"Admin", "tevoq"}};
    generated.user_limit = 3, generated.announce_after_reboot = false, generated.frame_rate = 25;
    generated.faults.upgrade_drop_percent = 40, generated.faults.link_bytes_per_second = 8192;
    EXPECT_EQ(fleet.cameras[1].device, generated);
}

TEST(FleetConfigFile, ErrorsNameThePlaceAndTheFault) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {R"({"cameras": [)", "fleet.json: not valid JSON: parse error at line 1"},
        {R"({"replies": "unicast"})", "fleet.json: replies: unknown setting (known here: reply,"},
        {R"({"reply": "multicast"})", "reply: expected \"unicast\" or \"broadcast\", got \"multicast\""},
        {R"({"count": 1.5})", "count: expected an integer from 0 to 64770, got 1.5"},
        {R"({"cameras": [{"ip_address": "10.77.1.1"}]})", "cameras[0].mac_address: missing"},
        {R"({"cameras": [{"mac_address": "A", "ip_address": "10.77.1"}]})",
         "fleet.json: cameras[0].ip_address: expected a dotted IPv4 address, got \"10.77.1\""},
        {R"({"cameras": [{"mac_address": "A", "ip_address": "10.77.1.1"}, {"mac_address": "A", "ip_address": "10.77.1.2"}]})",
         "cameras[1].mac_address: \"A\" already belongs to cameras[0]"},
        {R"({"cameras": [{"mac_address": "A", "ip_address": "10.77.1.1", "software_ver": "0123456789012345678901234567890123"}]})",
         "cameras[0].software_ver: at most 31 characters"},
        {R"({"cameras": [{"mac_address": "A", "ip_address": "10.77.1.1", "board_type": "0x35zz"}]})",
         "cameras[0].board_type: expected a 32-bit integer or a text"},
        {R"({"cameras": [{"mac_address": "A", "ip_address": "10.77.1.1", "cmd_port": 65536}]})",
         "cameras[0].cmd_port: expected an integer from 0 to 65535"},
        {R"({"faults": {"silent": "yes"}})", "faults.silent: expected true or false, got \"yes\""},
        {R"({"sdk_faults": {"answers": [{"request": "reboot"}]}})", "sdk_faults.answers[0].request: expected one of any, login"},
        {R"({"sdk_faults": {"answers": [{"request": "login", "result": 4}]}})", "a login is refused with 12, 13, 15, 16 or 17, got 4"},
        {R"({"sdk_faults": {"answers": [{"probability": 1.5}]}})", "answers[0].probability: expected a number from 0 to 1"},
        {R"({"sdk_faults": {"link_bytes_per_second": 100}})", "link_bytes_per_second: expected 0 (no limit) or at least 4096"},
        {R"({"cameras": [{"mac_address": "A", "ip_address": "10.77.1.1", "settings": {"video_standard": 3}}]})",
         "cameras[0].settings.video_standard: expected 1 (NTSC), 2 (PAL) or 5"},
        {R"({"users": {}})", "users: expected an object of user names and passwords"},
        {R"({"frame_rate": 0})", "frame_rate: expected an integer from 1 to 60, got 0"},
        {R"({"cameras": [{"mac_address": "A", "ip_address": "10.77.1.1", "frame_rate": 61}]})",
         "cameras[0].frame_rate: expected an integer from 1 to 60, got 61"},
        {R"({"version_policy": "older"})", "version_policy: expected \"any\", \"not_older\" or \"newer\""},
    };
    for (const auto& c : cases) {
        try {
            parse_fleet_plan(c.text, "fleet.json");
            ADD_FAILURE() << "accepted " << c.text;
        } catch (const ConfigError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.expected));
        }
    }
    EXPECT_THROW(load_fleet_plan("/nonexistent/fleet.json"), ConfigError);
    EXPECT_THROW(build_fleet(parse_fleet_plan("{}", "fleet.json")), ConfigError) << "a fleet without cameras";
}

TEST(BuildFleet, GeneratedCamerasFollowListedOnesWithoutClashing) {
    const FleetConfig fleet = build_fleet(parse_fleet_plan(R"({
        "count": 7, "demo_mix": true, "faults": { "duplicate_replies": 1 },
        "cameras": [ { "mac_address": "00:1A:2B:00:00:01", "ip_address": "10.77.1.2", "device_type": 5 } ]})", "fleet.json"));
    ASSERT_EQ(fleet.cameras.size(), 8u);
    EXPECT_EQ(fleet.cameras[0].device_type, 5) << "the demo mix leaves listed cameras alone";
    EXPECT_EQ(fleet.cameras[1].mac_address, "00:1A:2B:00:00:02");
    EXPECT_EQ(fleet.cameras[1].ip_address, "10.77.1.1");
    EXPECT_EQ(fleet.cameras[2].ip_address, "10.77.1.3");
    for (const CameraConfig& camera : fleet.cameras) EXPECT_EQ(camera.faults.duplicate_replies, 1);
    EXPECT_EQ(fleet.cameras[4].faults.reply_delay_ms, 800) << "the mix adds its own knobs to the fleet's";
}
