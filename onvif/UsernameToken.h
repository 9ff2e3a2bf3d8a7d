#pragma once
#include <pugixml.hpp>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// WS-Security UsernameToken with a password digest, the device service's SOAP-level login:
// PasswordDigest = Base64(SHA-1(nonce + Created + password)). The password never crosses the
// wire; a fresh nonce and the time make each token good once. Created is the device's
// clock, not ours: the caller passes our time plus the offset read from the device.
namespace onvif {

constexpr size_t kTokenNonceBytes = 16;

struct UsernameToken {
    std::string username;
    std::string password_digest;  // Base64
    std::string nonce;            // Base64
    std::string created;          // "2024-05-01T12:00:00Z"
    bool digest_type = true;      // false when a sender declared a plain-text password
};

std::string password_digest(std::span<const uint8_t> nonce, std::string_view created, std::string_view password);
// A token with a fresh random nonce; false when no random bytes were had.
bool make_username_token(std::string_view user, std::string_view password, int64_t device_unix_seconds, UsernameToken& out);
// The wsse:Security header element (prefixes wsse and wsu, declared by the envelope).
std::string security_header(const UsernameToken& token);

// A device's side: the token in a request's header; false when there is none.
bool read_username_token(pugi::xml_node header, UsernameToken& out);
// True when the token's digest is the one the password gives; a plain-text token never is.
bool token_matches(const UsernameToken& token, std::string_view password);
// True when Created is readable and within window seconds of the device's UTC clock.
bool created_within(const UsernameToken& token, int64_t device_unix_seconds, int64_t window_seconds);

// UTC as xs:dateTime, whole seconds: "2024-05-01T12:00:00Z".
std::string utc_text(int64_t unix_seconds);
// xs:dateTime with "Z" or an offset, optional fractions; false for anything else or a value
// out of range.
bool parse_utc_text(std::string_view text, int64_t& unix_seconds);
// Days since 1970-01-01 of a proleptic Gregorian date (negative before), for the calls that
// carry a date as numbers.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day);

} // namespace onvif
