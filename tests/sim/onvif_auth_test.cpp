// How a simulated camera refuses ONVIF logins: a token with the wrong password, a Created
// outside its clock's window or a nonce seen before is HTTP 400 with ter:NotAuthorized; a
// camera that wants HTTP Digest challenges with 401, and a wrong digest gets a new challenge.
#include "onvif/Crypto.h"
#include "onvif/Soap.h"
#include "onvif/UsernameToken.h"
#include "support/OnvifFleet.h"

#include <chrono>

namespace {

class OnvifAuthTest : public support::OnvifFleetTest {};

int64_t host_seconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

struct ClientRow {
    const char* name;
    OnvifAuth auth;
    const char* password;
    onvif::Status status;
    int http_status;                     // when refused
    onvif::DeviceClient::Login login;    // when taken
};

TEST_F(OnvifAuthTest, TheCameraTakesTheLoginsItsModeAllows) {
    using L = onvif::DeviceClient::Login;
    const ClientRow rows[] = {
        {"token, right password", OnvifAuth::Token, "pw", onvif::Status::ok, 0, L::username_token},
        {"token, wrong password", OnvifAuth::Token, "nope", onvif::Status::not_authorized, 400, L::username_token},
        {"digest, right password", OnvifAuth::Digest, "pw", onvif::Status::ok, 0, L::digest},
        {"digest, wrong password", OnvifAuth::Digest, "nope", onvif::Status::not_authorized, 401, L::digest},
        {"both, a token first", OnvifAuth::Both, "pw", onvif::Status::ok, 0, L::username_token},
    };
    start(std::size(rows), [&](CameraConfig& c) {
        c.device.users.front().password = "pw";
        c.device.onvif.auth = rows[c.mac_address.back() - '1'].auth;
    });
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name);
        auto c = client(i + 1, rows[i].password);
        onvif::DeviceInformation info;
        const onvif::Result result = c->get_device_information(info);
        EXPECT_EQ(result.status, rows[i].status) << onvif::describe(result);
        if (!result.ok()) {
            EXPECT_EQ(result.http_status, rows[i].http_status);
        } else {
            EXPECT_EQ(c->login(), rows[i].login);
        }
    }
}

TEST_F(OnvifAuthTest, ATokenIsJudgedByTheCamerasClockAndGoodOnce) {
    start(2, [](CameraConfig& c) {
        c.device.onvif.auth = OnvifAuth::Token;
        if (c.mac_address.back() == '2') c.device.onvif.faults.clock_offset_hours = 5;
    });
    const auto signed_call = [&](size_t n, const onvif::UsernameToken& token) {
        const std::string body = onvif::build_request("<tds:GetUsers/>", onvif::security_header(token));
        onvif::SoapReply reply;
        const onvif::HttpResponse response = post(xaddr(n), onvif::soap_content_type("GetUsers"), body);
        return reply.parse(response.status, response.body);
    };
    onvif::UsernameToken token;
    ASSERT_TRUE(onvif::make_username_token("Admin", "", host_seconds(), token));
    EXPECT_TRUE(signed_call(1, token).ok());
    const onvif::Result replayed = signed_call(1, token);
    EXPECT_EQ(replayed.status, onvif::Status::not_authorized);
    EXPECT_EQ(replayed.http_status, 400);
    EXPECT_EQ(replayed.subcode, "NotAuthorized");
    // An old nonce under a fresh Created is a weak nonce, not a replay: only the password makes it.
    onvif::UsernameToken next = token;
    onvif::Bytes nonce;
    ASSERT_TRUE(onvif::base64_decode(token.nonce, nonce));
    next.created.insert(next.created.size() - 1, ".5");
    next.password_digest = onvif::password_digest(nonce, next.created, "");
    EXPECT_TRUE(signed_call(1, next).ok());

    // Camera 2's clock is 5 hours ahead: our time is outside its window, its own time is not.
    ASSERT_TRUE(onvif::make_username_token("Admin", "", host_seconds(), token));
    EXPECT_EQ(signed_call(2, token).status, onvif::Status::not_authorized);
    auto c = client(2);
    onvif::DeviceInformation info;
    EXPECT_TRUE(c->get_device_information(info).ok()) << "the client signs with the offset it read";
    EXPECT_NEAR(static_cast<double>(c->clock_offset()), 5 * 3600.0, 600.0);

    const DeviceRecord record = camera(1).device_record();
    ASSERT_GE(record.onvif_calls.size(), 3u);
    EXPECT_EQ(record.onvif_calls[record.onvif_calls.size() - 2].detail, "token refused: replayed nonce");
}

TEST_F(OnvifAuthTest, ADigestCameraOffersTheAlgorithmsItIsGiven) {
    start(1, [](CameraConfig& c) {
        c.device.onvif.auth = OnvifAuth::Digest;
        c.device.onvif.digest_sha256 = false;
    });
    const onvif::HttpResponse response = post(xaddr(), onvif::soap_content_type("GetUsers"), onvif::build_request("<tds:GetUsers/>"));
    EXPECT_EQ(response.status, 401);
    std::vector<onvif::DigestChallenge> challenges;
    for (const std::string& header : response.www_authenticate) onvif::parse_challenges(header, challenges);
    ASSERT_EQ(challenges.size(), 1u);
    EXPECT_EQ(challenges[0].algorithm, onvif::DigestAlgorithm::md5);
    EXPECT_TRUE(challenges[0].qop_auth);
    onvif::DeviceInformation info;
    EXPECT_TRUE(client()->get_device_information(info).ok());
}

} // namespace
