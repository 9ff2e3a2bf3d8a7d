#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// HTTP Digest access authentication (RFC 7616, with RFC 2617's form without qop), the
// device service's HTTP-level login. MD5 and SHA-256, each also as "-sess"; SHA-256 is
// chosen when a device offers both. Basic is never answered: it would send the password.
namespace onvif {

// Bounds for a header from the network.
constexpr size_t kMaxAuthHeaderBytes = 8192;
constexpr size_t kMaxAuthParams = 32;

enum class DigestAlgorithm { md5, sha256 };

struct DigestChallenge {
    DigestAlgorithm algorithm = DigestAlgorithm::md5;
    bool session = false;     // "-sess": the first hash also covers the nonces
    std::string realm;
    std::string nonce;
    std::string opaque;
    bool has_opaque = false;
    bool qop_auth = false;    // qop offered and "auth" among it
    bool qop_offered = false;
    bool stale = false;       // the nonce expired, the credentials were right
    bool userhash = false;
};

// Appends the Digest challenges of one WWW-Authenticate value, which may hold several and
// challenges of other schemes (left out, as are digests of unknown algorithms and those
// without a nonce). False when the value could not be read; what was read before stays.
bool parse_challenges(std::string_view header, std::vector<DigestChallenge>& out);
// The challenge to answer: SHA-256 before MD5, and only where qop is absent or offers "auth"
// (we protect no body, so "auth-int" alone is refused). Null when none is usable.
const DigestChallenge* preferred_challenge(const std::vector<DigestChallenge>& challenges);

struct DigestInput {
    std::string user;
    std::string password;
    std::string method;  // "POST"
    std::string uri;     // the request target, "/onvif/device_service"
    std::string cnonce;
    uint32_t nc = 1;     // how many times this nonce was used, this time included
};

// The hex response value, and the whole Authorization header value.
std::string digest_response(const DigestChallenge& challenge, const DigestInput& input);
std::string authorization_header(const DigestChallenge& challenge, const DigestInput& input);
// A fresh client nonce; empty when no random bytes were had.
std::string new_cnonce();

// A device's side: an Authorization header's Digest parameters.
struct DigestAuthorization {
    std::string username, realm, nonce, uri, response, algorithm, cnonce, nc, qop, opaque;
    bool userhash = false;
};
bool parse_authorization(std::string_view header, DigestAuthorization& out);
// Whether a Digest answer is right for the challenge the device issued (its algorithm and
// nonce) and the user's password; the uri, cnonce and nc are taken from the answer.
bool authorization_matches(const DigestAuthorization& sent, const DigestChallenge& issued, std::string_view password,
                           std::string_view method);
// The username a userhash answer carries for a user: H(user ":" realm).
std::string digest_userhash(DigestAlgorithm algorithm, std::string_view user, std::string_view realm);

} // namespace onvif
