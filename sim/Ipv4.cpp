#include "sim/Ipv4.h"

#include <arpa/inet.h>

std::optional<uint32_t> parse_ipv4(std::string_view text) {
    // inet_pton wants a NUL-terminated text and accepts only the four-part dotted form.
    if (text.empty() || text.size() > 15) return std::nullopt;
    std::string copy(text);
    in_addr parsed{};
    if (inet_pton(AF_INET, copy.c_str(), &parsed) != 1) return std::nullopt;
    return ntohl(parsed.s_addr);
}

std::string format_ipv4(uint32_t address) {
    in_addr value{};
    value.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &value, text, sizeof text);
    return text;
}
