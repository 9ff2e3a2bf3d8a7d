#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// WS-Discovery (2005/04) messages as ONVIF devices use them: SOAP 1.2 envelopes with
// WS-Addressing (2004/08) headers. The tool builds Probe and reads ProbeMatches, Hello and
// Bye; a device (our simulator) does the opposite. No sockets here.
namespace onvif {

// At most this many matches in one ProbeMatches and items in one list are kept; the rest of
// a hostile datagram is ignored.
constexpr size_t kMaxProbeMatches = 16;
constexpr size_t kMaxListItems = 64;

struct QName {
    std::string ns;     // empty when the prefix was not declared
    std::string local;
    bool operator==(const QName&) const = default;
};

struct WsdEndpoint {
    std::string address;              // the endpoint reference, "urn:uuid:..." for ONVIF
    std::vector<QName> types;
    std::vector<std::string> scopes;  // as sent, escapes and all (see Scopes.h to read them)
    std::vector<std::string> xaddrs;  // device service addresses
    uint32_t metadata_version = 0;
    bool operator==(const WsdEndpoint&) const = default;
};

struct AppSequence {
    uint32_t instance_id = 0;    // changes when the device restarts
    uint32_t message_number = 0;
    bool operator==(const AppSequence&) const = default;
};

enum class WsdKind { probe, probe_matches, hello, bye };

struct WsdMessage {
    WsdKind kind = WsdKind::probe;
    std::string message_id;
    std::string relates_to;            // a ProbeMatches' probe
    AppSequence sequence;
    // Probe: one, holding the wanted types and scopes; Hello, Bye: one; ProbeMatches: each match.
    std::vector<WsdEndpoint> endpoints;
};

enum class WsdStatus { ok, bad_xml, not_discovery, bad_message };

// Reads a datagram of at most kMaxDatagramBytes. When the result is not ok, out is undefined.
WsdStatus parse_discovery(std::string_view datagram, WsdMessage& out);

// The types that make a device ONVIF's: tds:Device and dn:NetworkVideoTransmitter. A target
// matches a probe only when it has every type the probe lists, and older devices list only
// the second, so a prober sends one probe per type.
std::vector<QName> onvif_device_types();
bool has_onvif_type(const WsdEndpoint& endpoint);

// A fresh "urn:uuid:" with a random (version 4) UUID; empty when no random bytes were had.
std::string new_message_id();

std::string build_probe(std::string_view message_id, const std::vector<QName>& types);
std::string build_probe_matches(std::string_view message_id, std::string_view relates_to, const AppSequence& sequence,
                                const std::vector<WsdEndpoint>& matches);
std::string build_hello(std::string_view message_id, const AppSequence& sequence, const WsdEndpoint& endpoint);
std::string build_bye(std::string_view message_id, const AppSequence& sequence, const WsdEndpoint& endpoint);

} // namespace onvif
