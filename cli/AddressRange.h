#pragma once
#include <functional>
#include <string>
#include <vector>

// A range of addresses handed out to the devices of an address change: the first three
// parts are shared, the last part runs from first to last.
struct AddressRange {
    std::string prefix;  // "10.77.1"
    int first = 0;
    int last = 0;
};

enum class RangeCheck { Ok, Invalid, PrefixMismatch };

// A dotted IPv4 address, neither 0.0.0.0 nor the broadcast address.
bool is_valid_ip(const std::string& text);

// Reads "FIRST-LAST". An invalid or missing end takes the other end's value (one good
// address makes a range of one); both invalid is Invalid. Ends whose texts before the last
// '.' differ are PrefixMismatch. A reversed range is turned round.
RangeCheck parse_address_range(const std::string& text, AddressRange& out);

// The range's addresses in ascending order, leaving out those a listed device already has.
std::vector<std::string> free_addresses(const AddressRange& range, const std::function<bool(const std::string&)>& listed);
