#include "onvif/Crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace onvif {

namespace {

const EVP_MD* algorithm(Hash hash) {
    switch (hash) {
    case Hash::md5: return EVP_md5();
    case Hash::sha1: return EVP_sha1();
    case Hash::sha256: return EVP_sha256();
    }
    return EVP_sha256();
}

} // namespace

Bytes digest(Hash hash, std::span<const uint8_t> data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), out, &length, algorithm(hash), nullptr) != 1) return {};
    return Bytes(out, out + length);
}

Bytes digest(Hash hash, std::string_view text) {
    return digest(hash, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string hex_lower(std::span<const uint8_t> bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::string base64_encode(std::span<const uint8_t> bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(), static_cast<int>(bytes.size()));
    out.resize(written < 0 ? 0 : static_cast<size_t>(written));
    return out;
}

bool base64_decode(std::string_view text, Bytes& out) {
    out.clear();
    if (text.size() % 4 != 0) return false;
    auto is_digit = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
    };
    size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
    for (size_t i = 0; i + padding < text.size(); ++i)
        if (!is_digit(text[i])) return false;
    out.resize(text.size() / 4 * 3);
    const int decoded = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (decoded < 0 || static_cast<size_t>(decoded) < padding) return false;
    out.resize(static_cast<size_t>(decoded) - padding);  // EVP_DecodeBlock counts the padding as zeros
    // Bits below the last whole byte must be zero, or two texts would name the same bytes.
    return base64_encode(out) == text;
}

bool random_bytes(std::span<uint8_t> out) {
    return out.empty() || RAND_bytes(out.data(), static_cast<int>(out.size())) == 1;
}

bool equal_in_constant_time(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace onvif
