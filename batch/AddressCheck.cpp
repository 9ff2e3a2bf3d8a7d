#include "batch/AddressCheck.h"

#include <arpa/inet.h>

#include <algorithm>

namespace {

// A mask of 1 to 30 leading ones: /31 and /32 leave no room for a camera and a gateway.
std::optional<int> prefix_length(uint32_t mask) {
    const uint32_t inverted = ~mask;
    if ((inverted & (inverted + 1)) != 0) return std::nullopt;  // ones not contiguous from the left
    int ones = 0;
    for (uint32_t m = mask; m & 0x80000000u; m <<= 1) ++ones;
    if (ones < 1 || ones > 30) return std::nullopt;
    return ones;
}

// The subnet's own addresses (network and broadcast) are no host's.
bool is_subnet_host(uint32_t address, uint32_t mask) {
    const uint32_t host = address & ~mask;
    return host != 0 && host != ~mask;
}

} // namespace

std::optional<uint32_t> parse_ipv4(const std::string& text) {
    // inet_pton takes exactly four decimal parts, no leading zeros' octal, no trailing text.
    in_addr address{};
    if (text.empty() || ::inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
    return ntohl(address.s_addr);
}

bool is_host_address(uint32_t a) {
    const uint32_t first = a >> 24;
    if (first == 0 || first == 127 || first >= 224) return false;  // this network, loopback, multicast and above
    if ((a & 0xFFFF0000u) == 0xA9FE0000u) return false;            // 169.254/16: no one gives that out
    return true;
}

AddressRefusal check_fixed_address(const FixedAddressChange& change, size_t cameras, const std::vector<std::string>& others) {
    const std::optional<uint32_t> ip = parse_ipv4(change.ip);
    if (!ip || !is_host_address(*ip)) return AddressRefusal::UnusableAddress;
    const std::string& mask_text = change.mask.empty() ? change.current_mask : change.mask;
    const std::optional<uint32_t> mask = parse_ipv4(mask_text);
    // A camera keeping a mask we do not know is checked as far as we can.
    if (!change.mask.empty() || mask) {
        if (!mask || !prefix_length(*mask)) return AddressRefusal::UnusableMask;
        if (!is_subnet_host(*ip, *mask)) return AddressRefusal::UnusableAddress;
    }
    const std::string& gateway_text = change.gateway.empty() ? change.current_gateway : change.gateway;
    if (!change.gateway.empty() || !gateway_text.empty()) {
        const std::optional<uint32_t> gateway = parse_ipv4(gateway_text);
        if (!gateway || !is_host_address(*gateway) || *gateway == *ip) return AddressRefusal::UnusableGateway;
        if (mask && prefix_length(*mask)) {
            if (!is_subnet_host(*gateway, *mask)) return AddressRefusal::UnusableGateway;
            if ((*gateway & *mask) != (*ip & *mask)) return AddressRefusal::GatewayOutsideSubnet;
        }
    }
    if (cameras > 1) return AddressRefusal::OneAddressForMany;
    const bool taken = std::any_of(others.begin(), others.end(), [&](const std::string& other) {
        const std::optional<uint32_t> o = parse_ipv4(other);
        return o && *o == *ip;
    });
    return taken ? AddressRefusal::AddressTaken : AddressRefusal::None;
}

AddressRefusal check_range_ends(const std::string& first, const std::string& last) {
    for (const std::string* end : {&first, &last}) {
        const std::optional<uint32_t> a = parse_ipv4(*end);
        if (!a || !is_host_address(*a)) return AddressRefusal::UnusableRange;
    }
    return AddressRefusal::None;
}

bool is_range_host(const std::string& address) {
    const std::optional<uint32_t> a = parse_ipv4(address);
    return a && is_host_address(*a) && (*a & 0xFF) != 0 && (*a & 0xFF) != 0xFF;
}

const char* address_refusal_key(AddressRefusal refusal) {
    switch (refusal) {
    case AddressRefusal::None: return "";
    case AddressRefusal::UnusableAddress: return "IDS_ADDRESS_UNUSABLE";
    case AddressRefusal::UnusableMask: return "IDS_MASK_UNUSABLE";
    case AddressRefusal::UnusableGateway: return "IDS_GATEWAY_UNUSABLE";
    case AddressRefusal::GatewayOutsideSubnet: return "IDS_GATEWAY_OUTSIDE_SUBNET";
    case AddressRefusal::OneAddressForMany: return "IDS_FIXED_IP_FOR_MANY";
    case AddressRefusal::AddressTaken: return "IDS_FIXED_IP_TAKEN";
    case AddressRefusal::UnusableRange: return "IDS_RANGE_UNUSABLE";
    }
    return "";
}
