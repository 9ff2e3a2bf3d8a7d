#pragma once
#include <string>
#include <vector>

constexpr int kMaxLocalAddresses = 10;

// The host's IPv4 interface addresses as dotted texts, in the order the platform lists them,
// without "127.0.0.1" and without repeats. Returns false when the list cannot be read or
// holds more than kMaxLocalAddresses entries.
bool query_local_ipv4_addresses(std::vector<std::string>& addresses);
