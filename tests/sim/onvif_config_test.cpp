// The fleet file's ONVIF keys: per fleet, per camera over the fleet's key by key, and what a
// bad value says.
#include "sim/FleetConfigFile.h"
#include "sim/onvif/OnvifIdentity.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;

TEST(OnvifConfig, ACameraOverridesTheFleetsOnvifKeysOneByOne) {
    const FleetPlan plan = parse_fleet_plan(R"({
        "protocols": "both", "count": 1,
        "onvif": { "auth": "digest", "digest_algorithms": ["SHA-256"], "faults": { "busy_nth": 2, "silent_to_multicast": true } },
        "cameras": [ { "mac_address": "00:12:41:00:00:09", "ip_address": "10.77.2.9", "protocols": "onvif",
                       "onvif": { "model": "IPC-3518", "upload_delay_s": 5, "faults": { "busy_nth": 0, "clock_offset_hours": -3 } } } ] })",
                                            "fleet.json");
    OnvifSide fleet_side;
    fleet_side.protocols = CameraProtocols::Both;
    fleet_side.auth = OnvifAuth::Digest;
    fleet_side.digest_md5 = false;
    fleet_side.faults.busy_nth = 2;
    fleet_side.faults.silent_to_multicast = true;
    OnvifSide camera_side = fleet_side;
    camera_side.protocols = CameraProtocols::Onvif;
    camera_side.model = "IPC-3518";
    camera_side.upload_delay_s = 5;
    camera_side.faults.busy_nth = 0;
    camera_side.faults.clock_offset_hours = -3;
    const FleetConfig fleet = build_fleet(plan);
    ASSERT_EQ(fleet.cameras.size(), 2u);
    EXPECT_EQ(fleet.cameras[0].device.onvif, camera_side);
    EXPECT_EQ(fleet.cameras[1].device.onvif, fleet_side) << "generated cameras take the fleet's";
    EXPECT_EQ(onvif_identity(fleet.cameras[0]).endpoint, "urn:uuid:4c756d6f-7261-1000-8000-001241000009");
}

TEST(OnvifConfig, BadValuesNameTheirPlace) {
    const struct {
        const char* json;
        const char* message;
    } rows[] = {
        {R"({"protocols": "sdk"})", "fleet.json: protocols: expected \"own\", \"onvif\" or \"both\""},
        {R"({"onvif": {"auth": "basic"}})", "fleet.json: onvif.auth: expected \"token\", \"digest\" or \"both\""},
        {R"({"onvif": {"digest_algorithms": ["SHA-1"]}})", "onvif.digest_algorithms: expected \"MD5\" or \"SHA-256\""},
        {R"({"onvif": {"endpoint": "uuid:1"}})", "onvif.endpoint: expected \"urn:uuid:...\""},
        {R"({"onvif": {"faults": {"upload_refuse_percent": 101}}})", "onvif.faults.upload_refuse_percent: expected an integer from -1 to 100"},
        {R"({"onvif": {"faults": {"busy_probability": 2}}})", "onvif.faults.busy_probability: expected a number from 0 to 1"},
        {R"({"onvif": {"fault": {}}})", "onvif.fault: unknown setting"},
        {R"({"cameras": [{"mac_address": "AA", "ip_address": "10.77.2.1", "onvif": {"model": 7}}]})", "cameras[0].onvif.model: expected a text"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.json);
        try {
            parse_fleet_plan(row.json, "fleet.json");
            ADD_FAILURE() << "accepted";
        } catch (const ConfigError& e) {
            EXPECT_THAT(e.what(), HasSubstr(row.message));
        }
    }
}
