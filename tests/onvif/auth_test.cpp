// The two logins against published vectors: RFC 7616's digest examples and the WS-Security
// UsernameToken example that ONVIF's programmer's guide works through.
#include "onvif/Crypto.h"
#include "onvif/HttpDigest.h"
#include "onvif/Soap.h"
#include "onvif/UsernameToken.h"

#include <gtest/gtest.h>

using namespace onvif;

namespace {

// RFC 7616, section 3.9.1.
const char* const kRfcChallenge =
    "Digest realm=\"http-auth@example.org\", qop=\"auth, auth-int\", algorithm=%s, "
    "nonce=\"7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v\", opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\"";
const DigestInput kRfcInput{"Mufasa", "Circle of Life", "GET", "/dir/index.html", "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ", 1};

DigestChallenge rfc_challenge(const char* algorithm) {
    char header[400];
    std::snprintf(header, sizeof header, kRfcChallenge, algorithm);
    std::vector<DigestChallenge> challenges;
    EXPECT_TRUE(parse_challenges(header, challenges));
    return challenges.at(0);
}

} // namespace

TEST(HttpDigest, AnswersRfc7616sExamples) {
    const struct { const char* algorithm; const char* response; } rows[] = {
        {"MD5", "8ca523f5e9506fed4657c9700eebdbec"},
        {"SHA-256", "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1"},
    };
    for (const auto& row : rows) {
        const DigestChallenge challenge = rfc_challenge(row.algorithm);
        EXPECT_TRUE(challenge.qop_auth);
        DigestAuthorization sent;
        ASSERT_TRUE(parse_authorization(authorization_header(challenge, kRfcInput), sent));
        EXPECT_EQ(sent.response, row.response);
        EXPECT_EQ(sent.algorithm, row.algorithm);
        EXPECT_EQ(sent.opaque, "FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS");
        EXPECT_EQ(sent.nc, "00000001");
        EXPECT_EQ(sent.qop, "auth");
        EXPECT_EQ(sent.username, "Mufasa");
        EXPECT_TRUE(authorization_matches(sent, challenge, "Circle of Life", "GET"));
        EXPECT_FALSE(authorization_matches(sent, challenge, "Circle of Life", "POST"));
        EXPECT_FALSE(authorization_matches(sent, rfc_challenge(row.algorithm[0] == 'M' ? "SHA-256" : "MD5"), "Circle of Life", "GET"));
    }
}

TEST(HttpDigest, ReadsChallengesAsDevicesSendThemAndPrefersSha256) {
    const struct { std::string header; bool readable; size_t digests; const char* chosen; } rows[] = {
        {"Digest realm=\"cam\", nonce=\"n1\", qop=\"auth\"", true, 1, "MD5"},
        {"Basic realm=\"cam\"", true, 0, nullptr},
        {"Basic realm=\"cam\", Digest realm=\"cam\", nonce=\"n1\", algorithm=MD5, Digest realm=\"cam\", nonce=\"n2\", "
         "algorithm=SHA-256, qop=auth", true, 2, "SHA-256"},
        {"Negotiate YIIGhgYJKoZI==, Digest nonce=n1, realm=\"a, b\"", true, 1, "MD5"},
        {"Bearer abc, Digest nonce=\"n\", algorithm=SHA-512-256", true, 0, nullptr},
        {"Digest realm=\"cam\", nonce=\"n1\", qop=\"auth-int\"", true, 1, nullptr},
        {"Digest realm=\"cam\"", true, 0, nullptr},
        {"Digest realm=\"unterminated, nonce=\"n\"", false, 0, nullptr},
        {"=oops", false, 0, nullptr},
        {"Digest nonce=\"" + std::string(kMaxAuthHeaderBytes, 'n') + "\"", false, 0, nullptr},
    };
    for (const auto& row : rows) {
        std::vector<DigestChallenge> challenges;
        EXPECT_EQ(parse_challenges(row.header, challenges), row.readable) << row.header.substr(0, 80);
        EXPECT_EQ(challenges.size(), row.digests) << row.header.substr(0, 80);
        const DigestChallenge* chosen = preferred_challenge(challenges);
        EXPECT_EQ(chosen != nullptr, row.chosen != nullptr) << row.header;
        if (chosen && row.chosen) {
            EXPECT_EQ(chosen->algorithm == DigestAlgorithm::sha256, std::string(row.chosen) == "SHA-256");
        }
    }
    std::vector<DigestChallenge> stale;
    ASSERT_TRUE(parse_challenges("Digest realm=\"r\", nonce=\"x\", stale=TRUE, algorithm=SHA-256-sess, qop=auth", stale));
    EXPECT_TRUE(stale.at(0).stale);
    EXPECT_TRUE(stale[0].session);
}

TEST(UsernameToken, DigestsAsThePublishedExampleAndRefusesWhatDoesNotMatch) {
    Bytes nonce;
    ASSERT_TRUE(base64_decode("LKqI6G/AikKCQrN0zqZFlg==", nonce));
    EXPECT_EQ(password_digest(nonce, "2010-09-16T07:50:45Z", "userpassword"), "tuOSpGlFlIXsozq4HFNeeGeFLEI=");

    UsernameToken token;
    ASSERT_TRUE(make_username_token("admin", "userpassword", 1284623445, token));
    EXPECT_EQ(token.created, "2010-09-16T07:50:45Z");
    SoapRequest request;
    ASSERT_EQ(request.parse(build_request("<tds:GetUsers/>", security_header(token))), XmlStatus::ok);
    UsernameToken read;
    ASSERT_TRUE(read_username_token(request.header(), read));
    EXPECT_EQ(read.username, "admin");
    EXPECT_TRUE(token_matches(read, "userpassword"));
    EXPECT_FALSE(token_matches(read, "userpassword2"));
    read.created = "2010-09-16T07:50:46Z";
    EXPECT_FALSE(token_matches(read, "userpassword"));
    read = token;
    read.digest_type = false;  // a declared plain-text password is never accepted
    EXPECT_FALSE(token_matches(read, "userpassword"));
    UsernameToken second;
    ASSERT_TRUE(make_username_token("admin", "userpassword", 1284623445, second));
    EXPECT_NE(second.nonce, token.nonce);
}

TEST(UsernameToken, ReadsCreatedTimesInTheirXmlForms) {
    const struct { const char* text; bool ok; int64_t seconds; } rows[] = {
        {"2010-09-16T07:50:45Z", true, 1284623445},
        {"2010-09-16T07:50:45.123Z", true, 1284623445},
        {"2010-09-16T09:50:45+02:00", true, 1284623445},
        {"2010-09-16T02:20:45-05:30", true, 1284623445},
        {"1970-01-01T00:00:00Z", true, 0},
        {"2024-02-29T23:59:59Z", true, 1709251199},
        {"2010-09-16T07:50:45", false, 0},
        {"2010-13-16T07:50:45Z", false, 0},
        {"2010-09-16 07:50:45Z", false, 0},
        {"2010-09-16T07:50:45Zjunk", false, 0},
    };
    for (const auto& row : rows) {
        int64_t seconds = -1;
        EXPECT_EQ(parse_utc_text(row.text, seconds), row.ok) << row.text;
        if (!row.ok) continue;
        EXPECT_EQ(seconds, row.seconds) << row.text;
        if (std::string_view(row.text).size() == 20) {
            EXPECT_EQ(utc_text(seconds), row.text);
        }
    }
}
