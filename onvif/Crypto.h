#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The few primitives the ONVIF side needs, over OpenSSL's libcrypto: the digests that HTTP
// Digest and the WS-Security password digest are made of, Base64 and random bytes.
namespace onvif {

using Bytes = std::vector<uint8_t>;

enum class Hash { md5, sha1, sha256 };

Bytes digest(Hash hash, std::span<const uint8_t> data);
Bytes digest(Hash hash, std::string_view text);
std::string hex_lower(std::span<const uint8_t> bytes);

std::string base64_encode(std::span<const uint8_t> bytes);
// False for anything but canonical Base64 (padding included, no white space).
bool base64_decode(std::string_view text, Bytes& out);

// From the system's random source; false when it failed, and then out is undefined.
bool random_bytes(std::span<uint8_t> out);

// Comparison whose time does not depend on where the texts differ.
bool equal_in_constant_time(std::string_view a, std::string_view b);

} // namespace onvif
