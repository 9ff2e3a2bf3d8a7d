// WS-Discovery on the simulated cameras, seen from the tool's side of the lab: probe
// matches from each camera's own address to the prober, Hello and Bye to the group.
#include "onvif/Scopes.h"
#include "support/OnvifFleet.h"

#include <set>

namespace {

using support::WsdSocket;

class OnvifDiscoveryTest : public support::OnvifFleetTest {};

TEST_F(OnvifDiscoveryTest, EachCameraAnswersAProbeForItsTypesFromItsOwnAddress) {
    start(3, [](CameraConfig& c) {
        c.device.onvif.faults.silent_to_multicast = c.mac_address.back() == '3';
    });
    const WsdSocket prober;
    const std::string probe_id = onvif::new_message_id();
    prober.send(onvif::build_probe(probe_id, {onvif::onvif_device_types()[1]}), "239.255.255.250");
    std::set<std::string> answered;
    while (answered.size() < 2) {
        auto got = prober.receive();
        ASSERT_TRUE(got) << "every camera that hears multicast answers";
        const onvif::WsdMessage& match = got->second;
        ASSERT_EQ(match.kind, onvif::WsdKind::probe_matches);
        EXPECT_EQ(match.relates_to, probe_id);
        ASSERT_EQ(match.endpoints.size(), 1u);
        const SimCamera& from = *fleet->camera(onvif::scope_mac(match.endpoints[0].scopes));
        EXPECT_EQ(got->first, from.current().ip_address);
        EXPECT_EQ(match.endpoints[0].address, endpoint_from_mac(from.mac()));
        EXPECT_EQ(match.endpoints[0].xaddrs, std::vector<std::string>{device_xaddr(from.current())});
        answered.insert(got->first);
    }
    EXPECT_EQ(answered, (std::set<std::string>{"10.77.1.1", "10.77.1.2"}));

    // A flood of multicast probes from one address is answered only within its budget; the
    // camera deaf to multicast still answers a probe sent to its own address.
    for (int i = 0; i < 3 * RequestBudget::kBurst; ++i) prober.send(onvif::build_probe(onvif::new_message_id(), {}), "239.255.255.250");
    ASSERT_TRUE(support::eventually([&] { return fleet->ws_discovery()->stats().probes == 1 + 3 * RequestBudget::kBurst; }));
    EXPECT_GE(fleet->ws_discovery()->stats().probes_unanswered, static_cast<uint64_t>(RequestBudget::kBurst));
    while (prober.receive(1000)) {
    }
    prober.send(onvif::build_probe(onvif::new_message_id(), {}), "10.77.1.3");
    auto got = prober.receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->first, "10.77.1.3");
}

TEST_F(OnvifDiscoveryTest, HelloAtTheStartByeBeforeARebootHelloAfterIt) {
    Clock::set_speed(20);
    const WsdSocket group(3702, true);
    start(1);
    const std::string endpoint = endpoint_from_mac(camera().mac());
    const auto next_of = [&](onvif::WsdKind kind) {
        for (auto got = group.receive(); got; got = group.receive())
            if (got->second.kind == kind && got->second.endpoints.at(0).address == endpoint) return got;
        return decltype(group.receive()){};
    };
    auto hello = next_of(onvif::WsdKind::hello);
    ASSERT_TRUE(hello);
    EXPECT_EQ(hello->first, "10.77.1.1");

    onvif::SoapReply reply;
    ASSERT_TRUE(client()->call({"SystemReboot", "<tds:SystemReboot/>"}, reply).ok());
    auto bye = next_of(onvif::WsdKind::bye);
    ASSERT_TRUE(bye);
    auto back = next_of(onvif::WsdKind::hello);
    ASSERT_TRUE(back);
    EXPECT_GT(back->second.sequence.instance_id, hello->second.sequence.instance_id) << "a new start, a new instance";
}

} // namespace
