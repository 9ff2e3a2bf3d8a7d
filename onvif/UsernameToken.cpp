#include "onvif/UsernameToken.h"

#include "onvif/BoundedXml.h"
#include "onvif/Crypto.h"
#include "onvif/Namespaces.h"

#include <array>
#include <cstdio>

namespace onvif {

namespace {

// The inverse of days_from_civil (Howard Hinnant's civil calendar algorithms).
void civil_from_days(int64_t z, int64_t& year, unsigned& month, unsigned& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
}

bool digits(std::string_view text, size_t at, size_t count, long& out) {
    if (at + count > text.size()) return false;
    out = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

int64_t days_from_civil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

std::string utc_text(int64_t unix_seconds) {
    int64_t days = unix_seconds / 86400;
    int64_t rest = unix_seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int64_t year = 0;
    unsigned month = 0, day = 0;
    civil_from_days(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<long long>(year), month, day,
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text;
}

bool parse_utc_text(std::string_view text, int64_t& unix_seconds) {
    long year, month, day, hour, minute, second;
    if (!digits(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !digits(text, 5, 2, month) || text[7] != '-' ||
        !digits(text, 8, 2, day) || text[10] != 'T' || !digits(text, 11, 2, hour) || text[13] != ':' ||
        !digits(text, 14, 2, minute) || text[16] != ':' || !digits(text, 17, 2, second))
        return false;
    size_t at = 19;
    if (at < text.size() && text[at] == '.') {
        do ++at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at < 40);
    }
    long offset = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        long oh, om;
        if (!digits(text, at + 1, 2, oh) || at + 3 >= text.size() || text[at + 3] != ':' || !digits(text, at + 4, 2, om) ||
            oh > 14 || om > 59)
            return false;
        offset = (text[at] == '+' ? 1 : -1) * (oh * 3600 + om * 60);
        at += 6;
    } else if (at < text.size() && text[at] == 'Z') {
        ++at;
    } else {
        return false;  // a time without a zone is nobody's clock in particular
    }
    if (at != text.size() || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return false;
    unix_seconds = days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600 +
                   minute * 60 + (second == 60 ? 59 : second) - offset;
    return true;
}

std::string password_digest(std::span<const uint8_t> nonce, std::string_view created, std::string_view password) {
    Bytes input(nonce.begin(), nonce.end());
    input.insert(input.end(), created.begin(), created.end());
    input.insert(input.end(), password.begin(), password.end());
    return base64_encode(digest(Hash::sha1, input));
}

bool make_username_token(std::string_view user, std::string_view password, int64_t device_unix_seconds, UsernameToken& out) {
    std::array<uint8_t, kTokenNonceBytes> nonce{};
    if (!random_bytes(nonce)) return false;
    out.username = std::string(user);
    out.created = utc_text(device_unix_seconds);
    out.nonce = base64_encode(nonce);
    out.password_digest = password_digest(nonce, out.created, password);
    out.digest_type = true;
    return true;
}

std::string security_header(const UsernameToken& token) {
    return "<wsse:Security s:mustUnderstand=\"1\"><wsse:UsernameToken><wsse:Username>" + xml_escape(token.username) +
           "</wsse:Username><wsse:Password Type=\"" + ns::kPasswordDigest + "\">" + token.password_digest +
           "</wsse:Password><wsse:Nonce EncodingType=\"" + ns::kBase64Binary + "\">" + token.nonce +
           "</wsse:Nonce><wsu:Created>" + token.created + "</wsu:Created></wsse:UsernameToken></wsse:Security>";
}

bool read_username_token(pugi::xml_node header, UsernameToken& out) {
    const pugi::xml_node token = child(child(header, ns::kSecurity, "Security"), ns::kSecurity, "UsernameToken");
    if (!token) return false;
    const pugi::xml_node password = child(token, ns::kSecurity, "Password");
    out.username = text_of(child(token, ns::kSecurity, "Username"));
    out.password_digest = text_of(password);
    out.nonce = child_text(token, ns::kSecurity, "Nonce");
    out.created = child_text(token, ns::kSecurityUtility, "Created");
    out.digest_type = std::string_view(attribute(password, "Type").value()) == ns::kPasswordDigest;
    return true;
}

bool created_within(const UsernameToken& token, int64_t device_unix_seconds, int64_t window_seconds) {
    int64_t created = 0;
    return parse_utc_text(token.created, created) && created <= device_unix_seconds + window_seconds &&
           created >= device_unix_seconds - window_seconds;
}

bool token_matches(const UsernameToken& token, std::string_view password) {
    Bytes nonce;
    if (!token.digest_type || !base64_decode(token.nonce, nonce)) return false;
    return equal_in_constant_time(password_digest(nonce, token.created, password), token.password_digest);
}

} // namespace onvif
