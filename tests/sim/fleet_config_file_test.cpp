// Reading a fleet from its JSON description.
#include "sim/FleetConfigFile.h"
#include "sim/FleetGenerator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using ::testing::HasSubstr;

TEST(FleetConfigFile, ReadsFleetSettingsCamerasAndFaults) {
    const FleetSpec spec = parse_fleet_spec(R"({
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

    const FleetConfig& fleet = spec.fleet;
    EXPECT_EQ(fleet.reply_mode, ReplyMode::Unicast);
    EXPECT_EQ(fleet.device_port, 13100);
    EXPECT_EQ(fleet.tool_port, 12100);
    EXPECT_EQ(fleet.broadcast_address, "10.77.255.255");
    EXPECT_EQ(fleet.reply_spread_ms, 250);
    EXPECT_EQ(spec.generate, 4u);
    EXPECT_TRUE(spec.demo_mix);
    ASSERT_EQ(fleet.cameras.size(), 2u);
    // A camera's knobs override the fleet's one by one.
    const DiscoveryFaults overridden{.duplicate_replies = 2, .truncated_reply = true, .silent = false};
    EXPECT_EQ(fleet.cameras[0], (CameraConfig{"AA", "10.77.3.1", "255.255.255.0", "10.77.3.254", 1, 2, 3, 0, -7, 0x3516, 201, "", overridden}));
    // Without settings of its own a camera takes the defaults and the fleet's faults.
    CameraConfig plain;
    plain.mac_address = "BB";
    plain.ip_address = "10.77.3.2";
    plain.faults = spec.generated_faults;
    EXPECT_EQ(fleet.cameras[1], plain);
    EXPECT_EQ(spec.generated_faults, (DiscoveryFaults{.duplicate_replies = 2, .silent = true}));
}

TEST(FleetConfigFile, DocumentedExampleIsValid) {
    std::stringstream doc;
    doc << std::ifstream(FLEETSET_SOURCE_DIR "/docs/simulator.md").rdbuf();
    const std::string text = doc.str();
    const size_t begin = text.find("```json\n") + 8;
    const FleetConfig fleet = build_fleet(parse_fleet_spec(text.substr(begin, text.find("```", begin) - begin), "simulator.md"));
    ASSERT_EQ(fleet.cameras.size(), 5u);
    EXPECT_EQ(fleet.cameras[1].faults.reply_delay_ms, 1500);
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
    };
    for (const auto& c : cases) {
        try {
            parse_fleet_spec(c.text, "fleet.json");
            ADD_FAILURE() << "accepted " << c.text;
        } catch (const ConfigError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.expected));
        }
    }
    EXPECT_THROW(load_fleet_spec("/nonexistent/fleet.json"), ConfigError);
    EXPECT_THROW(build_fleet(parse_fleet_spec("{}", "fleet.json")), ConfigError) << "a fleet without cameras";
}

TEST(BuildFleet, GeneratedCamerasFollowListedOnesWithoutClashing) {
    const FleetConfig fleet = build_fleet(parse_fleet_spec(R"({
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
