#include "cli/AddressRange.h"

#include <arpa/inet.h>

#include <utility>

namespace {

std::string prefix_of(const std::string& address) { return address.substr(0, address.rfind('.')); }

int last_part(const std::string& address) { return std::stoi(address.substr(address.rfind('.') + 1)); }

} // namespace

bool is_valid_ip(const std::string& text) {
    in_addr parsed{};
    // inet_pton takes only four decimal parts, so the prefix is always the first three.
    return inet_pton(AF_INET, text.c_str(), &parsed) == 1 && text != "0.0.0.0" && text != "255.255.255.255";
}

RangeCheck parse_address_range(const std::string& text, AddressRange& out) {
    const size_t dash = text.find('-');
    std::string first = text.substr(0, dash);
    std::string last = dash == std::string::npos ? std::string() : text.substr(dash + 1);
    const bool first_ok = is_valid_ip(first), last_ok = is_valid_ip(last);
    if (!first_ok && !last_ok) return RangeCheck::Invalid;
    if (!first_ok) first = last;
    if (!last_ok) last = first;
    if (prefix_of(first) != prefix_of(last)) return RangeCheck::PrefixMismatch;
    out.prefix = prefix_of(first);
    out.first = last_part(first);
    out.last = last_part(last);
    if (out.first > out.last) std::swap(out.first, out.last);
    return RangeCheck::Ok;
}

std::vector<std::string> free_addresses(const AddressRange& range, const std::function<bool(const std::string&)>& listed) {
    std::vector<std::string> pool;
    for (int part = range.first; part <= range.last; ++part) {
        std::string candidate = range.prefix + "." + std::to_string(part);
        if (!listed(candidate)) pool.push_back(std::move(candidate));
    }
    return pool;
}
