// The prober in the lab against cameras made in the test from the codec's device side.
#include "onvif/Namespaces.h"
#include "onvif/WsdProber.h"
#include "support/Eventually.h"
#include "support/WsdResponder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using support::WsdResponder;

const onvif::QName kDevice{onvif::ns::kDevice, "Device"};
const onvif::QName kTransmitter{onvif::ns::kNetworkWsdl, "NetworkVideoTransmitter"};

onvif::WsdEndpoint camera(const std::string& uuid, const std::string& address, std::vector<onvif::QName> types) {
    return {"urn:uuid:" + uuid, std::move(types), {"onvif://www.onvif.org/name/cam"},
            {"http://" + address + "/onvif/device_service"}, 1};
}

onvif::ProberConfig from_tool(const char* range = "") {
    onvif::ProberConfig config;
    config.local_addresses = [] { return std::vector<std::string>{"10.77.0.1"}; };
    if (*range) onvif::parse_probe_range(range, config.range);
    return config;
}

const onvif::OnvifCamera* find(const std::vector<onvif::OnvifCamera>& cameras, const std::string& uuid) {
    const auto it = std::find_if(cameras.begin(), cameras.end(), [&](const auto& c) { return c.uuid == "urn:uuid:" + uuid; });
    return it == cameras.end() ? nullptr : &*it;
}

} // namespace

// By the group and by the unicast range; a reply that relates to no probe of ours is dropped.
TEST(WsdProber, FindsCamerasByGroupAndRangeAndIgnoresForeignReplies) {
    onvif::WsdEndpoint two_xaddrs = camera("a", "10.77.5.1", {kDevice, kTransmitter});
    two_xaddrs.xaddrs.push_back("http://10.77.9.1:8080/onvif/device_service");
    two_xaddrs.scopes.push_back("onvif://www.onvif.org/MAC/00-1a-2b-00-05-01");
    WsdResponder grouped("10.77.5.1", two_xaddrs, {});
    WsdResponder routed("10.77.5.2", camera("b", "10.77.5.2", {kTransmitter}), {.group = false});
    WsdResponder foreign("10.77.5.3", camera("c", "10.77.5.3", {kDevice, kTransmitter}), {.foreign = true});

    onvif::WsdProber prober(from_tool("10.77.5.2-10.77.5.3"));
    ASSERT_TRUE(prober.start());
    ASSERT_TRUE(support::eventually([&] {
        const auto cameras = prober.cameras();
        return prober.probes_sent() && find(cameras, "a") && find(cameras, "b") && foreign.answers() == 6;
    }));
    const auto cameras = prober.cameras();
    EXPECT_EQ(cameras.size(), 2u);
    EXPECT_EQ(find(cameras, "c"), nullptr);
    const onvif::OnvifCamera& a = *find(cameras, "a");
    EXPECT_EQ(a.xaddrs, two_xaddrs.xaddrs);
    EXPECT_EQ(a.mac, "00:1A:2B:00:05:01");
    EXPECT_EQ(a.source_address, "10.77.5.1");
    EXPECT_EQ(a.metadata_version, 1u);
    EXPECT_EQ(find(cameras, "b")->source_address, "10.77.5.2");

    // Twice per type to the group, one type per probe; the range's unicast probes did not
    // reach the camera outside it.
    const auto heard = grouped.probes();
    ASSERT_EQ(heard.size(), 4u);
    for (const onvif::QName& type : {kDevice, kTransmitter})
        EXPECT_EQ(std::count(heard.begin(), heard.end(), std::vector<onvif::QName>{type}), 2);
    EXPECT_EQ(routed.probes().size(), 2u);
}

TEST(WsdProber, HelloAddsAnOnvifCameraAndByeRemovesIt) {
    onvif::WsdProber prober(from_tool());
    ASSERT_TRUE(prober.start());
    ASSERT_TRUE(support::eventually([&] { return prober.probes_sent(); }));
    WsdResponder printer("10.77.6.1", camera("p", "10.77.6.1", {{"http://example.org/print", "Printer"}}), {.silent = true});
    WsdResponder late("10.77.6.2", camera("d", "10.77.6.2", {kTransmitter}), {.silent = true});

    printer.hello();
    late.hello();
    ASSERT_TRUE(support::eventually([&] { return find(prober.cameras(), "d") != nullptr; }));
    EXPECT_EQ(prober.cameras().size(), 1u);  // the printer's Hello is not a camera's
    EXPECT_EQ(find(prober.cameras(), "d")->source_address, "10.77.6.2");
    late.bye();
    EXPECT_TRUE(support::eventually([&] { return prober.cameras().empty(); }));
}
