#pragma once
#include "onvif/HttpDigest.h"
#include "sim/CameraConfig.h"

#include <pugixml.hpp>

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

// One camera's judge of ONVIF logins, used under its service's lock. A UsernameToken must
// have the right digest, a Created within kTokenWindowS of the camera's own clock and a
// nonce the camera has not seen; an HTTP Digest answer must be for a nonce the camera issued
// and has not let expire (then the new challenge says stale), with a count above the last.
// Which of them the camera takes is its OnvifAuth.
class OnvifLogins {
public:
    static constexpr int64_t kTokenWindowS = 300;
    static constexpr int64_t kNonceLifetimeMs = 300000;
    static constexpr size_t kNoncesKept = 64;
    static constexpr size_t kTokensRemembered = 4096;

    enum class Verdict { ok, refused_token, challenge };
    struct Outcome {
        Verdict verdict = Verdict::challenge;
        bool stale = false;
        std::string user;
        std::string why;  // for the record: "replayed nonce", "clock", "password", ...
    };

    Outcome check(std::string_view authorization, pugi::xml_node soap_header, const CameraConfig& camera, int64_t camera_utc_s);
    // The WWW-Authenticate headers (whole lines) of a fresh challenge.
    std::string challenge_headers(const OnvifSide& side, bool stale);

private:
    struct Issued {
        std::string nonce;
        int64_t issued_ms = 0;
        uint32_t last_nc = 0;
    };
    Outcome check_digest(std::string_view authorization, const CameraConfig& camera);
    Outcome check_token(pugi::xml_node soap_header, const CameraConfig& camera, int64_t camera_utc_s);

    std::deque<Issued> m_issued;
    std::deque<std::string> m_token_order;
    std::unordered_set<std::string> m_tokens_seen;
};

inline constexpr const char* kDigestRealm = "fleetset-sim";
