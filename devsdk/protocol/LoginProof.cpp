#include "devsdk/protocol/LoginProof.h"

#include <sodium.h>

namespace ovix {

namespace {
constexpr char kProofLabel[] = "ovix-login-1";
}

bool crypto_ready() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

Nonce random_nonce() {
    Nonce n{};
    if (crypto_ready()) randombytes_buf(n.data(), n.size());
    return n;
}

Proof login_proof(std::string_view user, std::string_view password, const Nonce& device_nonce,
                  const Nonce& client_nonce) {
    crypto_ready();
    uint8_t key[crypto_auth_hmacsha256_KEYBYTES];
    static_assert(crypto_auth_hmacsha256_KEYBYTES <= crypto_generichash_BYTES_MAX);
    crypto_generichash(key, sizeof key, reinterpret_cast<const unsigned char*>(password.data()), password.size(),
                       nullptr, 0);

    // The user name enters as its fixed 32-byte wire field, exactly as the device sees it.
    Bytes message;
    ByteWriter w(message);
    w.bytes(ByteView(reinterpret_cast<const uint8_t*>(kProofLabel), sizeof kProofLabel - 1));
    w.bytes(device_nonce);
    w.bytes(client_nonce);
    w.text(user, kUserFieldSize);

    Proof proof{};
    static_assert(sizeof(Proof) == crypto_auth_hmacsha256_BYTES);
    crypto_auth_hmacsha256(proof.data(), message.data(), message.size(), key);
    sodium_memzero(key, sizeof key);
    return proof;
}

bool proof_matches(const Proof& expected, const Proof& received) {
    return crypto_verify_32(expected.data(), received.data()) == 0;
}

} // namespace ovix
