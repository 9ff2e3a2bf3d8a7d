#include "batch/CameraList.h"
#include "support/DeviceRecord.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using onvif::Reading;

// An ONVIF camera at xaddr's host; mac "" when its scopes and interfaces gave none.
onvif::OnvifCamera onvif_camera(const std::string& host, const std::string& mac, Reading reading, const std::string& source = "") {
    onvif::OnvifCamera c;
    c.uuid = "urn:uuid:" + host;
    c.xaddrs = {"http://" + host + "/onvif/device_service"};
    c.source_address = source.empty() ? host : source;
    c.mac = mac;
    c.reading = reading;
    if (reading == Reading::ok) c.information = {"Lumora", "IPC-3516", "3.0.0", "", ""};
    return c;
}

struct Row {
    const char* protocol;
    const char* address;
    const char* mac;
    const char* model;
    const char* version;
};

struct Case {
    const char* name;
    std::vector<DEV_INFO> own;
    std::vector<onvif::OnvifCamera> onvif;
    std::vector<Row> rows;
};

} // namespace

TEST(CameraList, MergesOneRowPerCamera) {
    const DEV_INFO own1 = make_device_record("00:1A:2B:00:00:01", "10.77.1.1", "2.4.1");
    const std::vector<Case> cases = {
        {"own only", {own1}, {}, {{"own", "10.77.1.1", "00:1A:2B:00:00:01", "", "2.4.1"}}},
        {"onvif only, no login: says what it lacks", {}, {onvif_camera("10.77.2.1", "00:1A:2B:00:02:01", Reading::no_credentials)},
         {{"onvif", "10.77.2.1", "00:1A:2B:00:02:01", "", "(log in)"}}},
        {"onvif only, read", {}, {onvif_camera("10.77.2.1", "", Reading::ok)}, {{"onvif", "10.77.2.1", "", "IPC-3516", "3.0.0"}}},
        {"onvif only, refused", {}, {onvif_camera("10.77.2.1", "", Reading::refused)}, {{"onvif", "10.77.2.1", "", "", "(login refused)"}}},
        {"onvif only, silent", {}, {onvif_camera("10.77.2.1", "", Reading::unreachable)}, {{"onvif", "10.77.2.1", "", "", "(no answer)"}}},
        {"same MAC in another spelling, other address: both, our version first", {own1},
         {onvif_camera("10.77.9.9", "00:1A:2B:00:00:01", Reading::ok)}, {{"both", "10.77.1.1", "00:1A:2B:00:00:01", "IPC-3516", "2.4.1"}}},
        {"no ONVIF MAC, same address: both", {own1}, {onvif_camera("10.77.1.1", "", Reading::no_credentials)},
         {{"both", "10.77.1.1", "00:1A:2B:00:00:01", "", "2.4.1"}}},
        {"XAddr by name, same source address: both", {own1}, {onvif_camera("cam.local", "", Reading::ok, "10.77.1.1")},
         {{"both", "10.77.1.1", "00:1A:2B:00:00:01", "IPC-3516", "2.4.1"}}},
        {"same address, other MAC: two cameras", {own1}, {onvif_camera("10.77.1.1", "00:1A:2B:00:00:99", Reading::ok)},
         {{"own", "10.77.1.1", "00:1A:2B:00:00:01", "", "2.4.1"}, {"onvif", "10.77.1.1", "00:1A:2B:00:00:99", "IPC-3516", "3.0.0"}}},
        {"one own row takes one ONVIF camera", {own1},
         {onvif_camera("10.77.1.1", "", Reading::ok), onvif_camera("10.77.1.1", "", Reading::refused)},
         {{"both", "10.77.1.1", "00:1A:2B:00:00:01", "IPC-3516", "2.4.1"}, {"onvif", "10.77.1.1", "", "", "(login refused)"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<CameraRow> rows = merge_cameras(c.own, c.onvif);
        ASSERT_EQ(rows.size(), c.rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& want = c.rows[i];
            const std::string protocol = want.protocol;
            EXPECT_EQ(std::tuple(std::string(protocol_name(rows[i].protocol)), rows[i].address, rows[i].mac, rows[i].model,
                                 rows[i].firmware_version, rows[i].own.has_value(), rows[i].uuid.empty()),
                      std::tuple(protocol, want.address, want.mac, want.model, want.version, protocol != "onvif",
                                 protocol == "own")) << i;
        }
    }
}
