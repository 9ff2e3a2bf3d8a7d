#include "sim/onvif/OnvifLogins.h"

#include "foundation/Clock.h"
#include "onvif/Crypto.h"
#include "onvif/UsernameToken.h"

#include <array>

namespace {

const CameraUser* find_user(const CameraConfig& camera, std::string_view name) {
    for (const CameraUser& user : camera.device.users)
        if (user.name == name) return &user;
    return nullptr;
}

bool takes_token(OnvifAuth auth) { return auth != OnvifAuth::Digest; }
bool takes_digest(OnvifAuth auth) { return auth != OnvifAuth::Token; }

uint32_t parse_nc(const std::string& text) {
    uint32_t nc = 0;
    for (char c : text) nc = nc * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    return nc;
}

} // namespace

OnvifLogins::Outcome OnvifLogins::check(std::string_view authorization, pugi::xml_node soap_header, const CameraConfig& camera,
                                        int64_t camera_utc_s) {
    const OnvifAuth auth = camera.device.onvif.auth;
    if (takes_digest(auth) && authorization.substr(0, 7) == "Digest ") return check_digest(authorization, camera);
    onvif::UsernameToken token;
    if (takes_token(auth) && onvif::read_username_token(soap_header, token)) return check_token(soap_header, camera, camera_utc_s);
    Outcome none;
    none.why = "no credentials";
    none.verdict = takes_digest(auth) ? Verdict::challenge : Verdict::refused_token;
    return none;
}

OnvifLogins::Outcome OnvifLogins::check_token(pugi::xml_node soap_header, const CameraConfig& camera, int64_t camera_utc_s) {
    Outcome out;
    out.verdict = Verdict::refused_token;
    onvif::UsernameToken token;
    onvif::read_username_token(soap_header, token);
    const CameraUser* user = find_user(camera, token.username);
    if (!user || !onvif::token_matches(token, user->password)) {
        out.why = "password";
        return out;
    }
    if (!onvif::created_within(token, camera_utc_s, kTokenWindowS)) {
        out.why = "clock";
        return out;
    }
    // A replay is a token sent again as it was: its Created cannot change without the
    // password, so an old nonce under a fresh Created is a weak nonce, not a replay.
    if (camera.device.onvif.replay_check) {
        const std::string seen = token.nonce + ' ' + token.created;
        if (m_tokens_seen.count(seen)) {
            out.why = "replayed nonce";
            return out;
        }
        m_tokens_seen.insert(seen);
        m_token_order.push_back(seen);
        if (m_token_order.size() > kTokensRemembered) {
            m_tokens_seen.erase(m_token_order.front());
            m_token_order.pop_front();
        }
    }
    out.verdict = Verdict::ok;
    out.user = token.username;
    return out;
}

OnvifLogins::Outcome OnvifLogins::check_digest(std::string_view authorization, const CameraConfig& camera) {
    Outcome out;
    onvif::DigestAuthorization sent;
    if (!onvif::parse_authorization(authorization, sent)) {
        out.why = "unreadable digest";
        return out;
    }
    const OnvifSide& side = camera.device.onvif;
    const bool sha256 = sent.algorithm == "SHA-256";
    if ((sha256 && !side.digest_sha256) || (!sha256 && !side.digest_md5)) {
        out.why = "algorithm";
        return out;
    }
    Issued* issued = nullptr;
    for (Issued& i : m_issued)
        if (i.nonce == sent.nonce) issued = &i;
    if (!issued) {
        out.why = "unknown nonce";
        return out;
    }
    const CameraUser* user = find_user(camera, sent.username);
    onvif::DigestChallenge challenge;
    challenge.algorithm = sha256 ? onvif::DigestAlgorithm::sha256 : onvif::DigestAlgorithm::md5;
    challenge.realm = kDigestRealm;
    challenge.nonce = issued->nonce;
    challenge.qop_offered = challenge.qop_auth = true;
    if (!user || sent.realm != kDigestRealm || !onvif::authorization_matches(sent, challenge, user->password, "POST")) {
        out.why = "password";
        return out;
    }
    // Right credentials on an old nonce: the client answers the fresh one without asking its user.
    if (Clock::now_ms() - issued->issued_ms > kNonceLifetimeMs) {
        out.stale = true;
        out.why = "stale nonce";
        return out;
    }
    const uint32_t nc = parse_nc(sent.nc);
    if (nc <= issued->last_nc) {
        out.why = "replayed count";
        return out;
    }
    issued->last_nc = nc;
    out.verdict = Verdict::ok;
    out.user = sent.username;
    return out;
}

std::string OnvifLogins::challenge_headers(const OnvifSide& side, bool stale) {
    std::array<uint8_t, 16> random{};
    onvif::random_bytes(random);
    Issued issued{onvif::hex_lower(random), Clock::now_ms(), 0};
    m_issued.push_back(issued);
    if (m_issued.size() > kNoncesKept) m_issued.pop_front();
    std::string headers;
    const auto line = [&](const char* algorithm) {
        headers += "WWW-Authenticate: Digest realm=\"" + std::string(kDigestRealm) + "\", qop=\"auth\", algorithm=" + algorithm +
                   ", nonce=\"" + issued.nonce + "\"" + (stale ? ", stale=true" : "") + "\r\n";
    };
    if (side.digest_sha256) line("SHA-256");
    if (side.digest_md5) line("MD5");
    return headers;
}
