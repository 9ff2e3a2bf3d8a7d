// WS-Discovery datagrams as the prober (and later the simulator) reads them. What was read
// must write out again and read back the same, so a simulator that echoes a camera's fields
// sends what it was given.
#include "onvif/Scopes.h"
#include "onvif/WsDiscovery.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace onvif;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WsdMessage m;
    if (parse_discovery(fuzz::as_text({data, size}), m) != WsdStatus::ok) return 0;
    FUZZ_CHECK(!m.endpoints.empty() && m.endpoints.size() <= kMaxProbeMatches);
    for (const WsdEndpoint& e : m.endpoints) {
        FUZZ_CHECK(e.scopes.size() <= kMaxListItems && e.xaddrs.size() <= kMaxListItems && e.types.size() <= kMaxListItems);
        const std::string mac = scope_mac(e.scopes);
        FUZZ_CHECK(mac.empty() || normalized_mac(mac) == mac);
        scope_value(e.scopes, "name");
    }
    if (m.kind == WsdKind::probe) return 0;  // a probe's endpoint has no address to carry
    WsdMessage again;
    FUZZ_CHECK(parse_discovery(build_probe_matches(m.message_id, m.relates_to, m.sequence, m.endpoints), again) == WsdStatus::ok);
    FUZZ_CHECK(again.endpoints == m.endpoints && again.relates_to == m.relates_to && again.sequence == m.sequence);
    return 0;
}
