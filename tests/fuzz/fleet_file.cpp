// The simulator's fleet file: a text that is not a usable fleet is refused with a
// ConfigError naming the place, never with any other exception; a fleet it accepts builds
// into cameras with usable addresses and MACs of their own.
#include "sim/FleetConfigFile.h"
#include "sim/Ipv4.h"
#include "tests/fuzz/FuzzSupport.h"

#include <set>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FleetPlan plan;
    try {
        plan = parse_fleet_plan(std::string_view(reinterpret_cast<const char*>(data), size), "fleet.json");
    } catch (const ConfigError& e) {
        FUZZ_CHECK(std::string_view(e.what()).starts_with("fleet.json: "));
        return 0;
    }
    // Generated cameras cost time without reaching more of the reader.
    if (plan.generate > 16) return 0;
    FleetConfig fleet;
    try {
        fleet = build_fleet(plan);
    } catch (const ConfigError&) {
        FUZZ_CHECK(plan.fleet.cameras.empty() && plan.generate == 0);
        return 0;
    }
    std::set<std::string> macs;
    for (const CameraConfig& camera : fleet.cameras) {
        FUZZ_CHECK(!camera.mac_address.empty() && camera.mac_address.size() <= 31);
        FUZZ_CHECK(macs.insert(camera.mac_address).second);
        FUZZ_CHECK(parse_ipv4(camera.ip_address) && parse_ipv4(camera.subnet_mask) && parse_ipv4(camera.gateway));
        FUZZ_CHECK(!camera.device.users.empty());
        FUZZ_CHECK(camera.device.frame_rate >= 1 && camera.device.frame_rate <= kMaxFrameRate);
    }
    FUZZ_CHECK(parse_ipv4(fleet.broadcast_address) && parse_ipv4(fleet.dhcp_pool_start));
    return 0;
}
