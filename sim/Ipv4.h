#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Dotted-decimal IPv4 texts and the host-order numbers behind them.
std::optional<uint32_t> parse_ipv4(std::string_view text);  // strict: four decimal parts
std::string format_ipv4(uint32_t address);

// An IPv4 address and port, both in host order.
struct Endpoint {
    uint32_t address = 0;
    uint16_t port = 0;

    bool operator==(const Endpoint&) const = default;
};
