#pragma once
#include "devsdk/protocol/Messages.h"

#include <string_view>

// Challenge and response of the login. The device sends a fresh nonce in its hello; the
// client answers with its own nonce and an HMAC-SHA256 over both nonces and the user name,
// keyed with the BLAKE2b-256 hash of the password. The password never crosses the wire,
// and a recorded answer is worthless against the next nonce.
namespace ovix {

// Initialises libsodium once; false when it cannot be used.
bool crypto_ready();

Nonce random_nonce();

Proof login_proof(std::string_view user, std::string_view password, const Nonce& device_nonce,
                  const Nonce& client_nonce);

// Constant-time comparison.
bool proof_matches(const Proof& expected, const Proof& received);

} // namespace ovix
