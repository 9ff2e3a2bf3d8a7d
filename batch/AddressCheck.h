#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The checks every address change passes before anything is sent. A camera given an address
// it cannot use, or one another camera has, is lost to the network until someone walks up to
// it, so the window and the command line refuse such a change with the same rules.

enum class AddressRefusal {
    None,
    UnusableAddress,       // blank, 0.0.0.0, broadcast, multicast, loopback, reserved, or the subnet's own
    UnusableMask,          // not a run of ones from the left, or leaving no room for hosts
    UnusableGateway,       // as UnusableAddress, or the address itself
    GatewayOutsideSubnet,
    OneAddressForMany,     // a fixed address for more than one camera
    AddressTaken,          // another listed camera has it
    UnusableRange,         // an end of a range is not an address a camera can have
};

// A dotted-quad IPv4 address, host byte order; nullopt for anything else.
std::optional<uint32_t> parse_ipv4(const std::string& text);

// An address a camera can be given on its own: not 0.0.0.0/8, loopback, link-local
// autoconfiguration, multicast, reserved or the limited broadcast.
bool is_host_address(uint32_t address);

struct FixedAddressChange {
    std::string ip;
    std::string mask;      // empty: the camera keeps its own (current_mask)
    std::string gateway;   // empty: the camera keeps its own (current_gateway)
    std::string current_mask;
    std::string current_gateway;
};

// A fixed address for `cameras` cameras; `others` are the addresses of the listed cameras
// other than the one that gets it.
AddressRefusal check_fixed_address(const FixedAddressChange& change, size_t cameras, const std::vector<std::string>& others);

// The ends of a range (FIRST and LAST, already parsed as addresses).
AddressRefusal check_range_ends(const std::string& first, const std::string& last);

// Whether an address of a range in one /24 may be handed out: .0 and .255 are the network
// and broadcast addresses of that /24 and of every smaller subnet in it.
bool is_range_host(const std::string& address);

// The language key of a refusal's text ("" for None).
const char* address_refusal_key(AddressRefusal refusal);
