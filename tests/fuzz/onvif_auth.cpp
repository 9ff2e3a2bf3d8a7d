// WWW-Authenticate challenges as the client reads them: whatever challenge it chooses, its
// answer must read back on the device's side as right for the password and no other. Also
// the token's time and Base64 readers, which take text from requests.
#include "onvif/Crypto.h"
#include "onvif/HttpDigest.h"
#include "onvif/UsernameToken.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace onvif;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::as_text({data, size});
    std::vector<DigestChallenge> challenges;
    parse_challenges(text, challenges);
    if (const DigestChallenge* chosen = preferred_challenge(challenges); chosen && !chosen->session && !chosen->userhash) {
        const DigestInput input{"admin", "pass\"word", "POST", "/onvif/device_service", "0a1b2c", 7};
        DigestAuthorization sent;
        FUZZ_CHECK(parse_authorization(authorization_header(*chosen, input), sent));
        FUZZ_CHECK(authorization_matches(sent, *chosen, input.password, "POST"));
        FUZZ_CHECK(!authorization_matches(sent, *chosen, "password", "POST"));
    }
    DigestAuthorization authorization;
    parse_authorization(text, authorization);

    int64_t seconds = 0;
    if (parse_utc_text(text, seconds)) {
        int64_t again = 0;
        FUZZ_CHECK(parse_utc_text(utc_text(seconds), again) && again == seconds);
    }
    Bytes bytes;
    if (base64_decode(text, bytes)) FUZZ_CHECK(base64_encode(bytes) == text);
    return 0;
}
