// The device client against a device service on loopback: each login, each refusal, and
// replies it must not take.
#include "onvif/DeviceClient.h"
#include "onvif/FakeOnvifDevice.h"
#include "onvif/OnvifTestMessages.h"

#include <gtest/gtest.h>

using namespace onvif;
using Login = FakeOnvifDevice::Login;

namespace {

std::vector<std::string> operations(FakeOnvifDevice& device, const std::string& operation) {
    std::vector<std::string> out;
    for (const std::string& line : device.with_state([](auto& s) { return s.log; }))
        if (line.rfind(operation, 0) == 0) out.push_back(line);
    return out;
}

} // namespace

TEST(DeviceClient, LogsInAsTheDeviceAsksAndSignsWithTheDevicesClock) {
    const struct { Login login; DeviceClient::Login used; const char* seen; } rows[] = {
        {Login::token, DeviceClient::Login::username_token, "GetDeviceInformation token"},
        {Login::digest_md5, DeviceClient::Login::digest, "GetDeviceInformation digest MD5"},
        {Login::digest_sha256, DeviceClient::Login::digest, "GetDeviceInformation digest SHA-256"},
        {Login::digest_both, DeviceClient::Login::digest, "GetDeviceInformation digest SHA-256"},
    };
    for (const auto& row : rows) {
        FakeOnvifDevice device(row.login, "s3cret");
        device.with_state([](auto& s) { s.clock_offset = -3 * 3600; });  // a camera whose clock was never set
        DeviceClient client(device.xaddr(), "admin", "s3cret");
        DeviceInformation info;
        const Result result = client.get_device_information(info);
        ASSERT_TRUE(result.ok()) << describe(result);
        EXPECT_EQ(info.firmware_version, "2.4.1 build 230501");
        EXPECT_EQ(client.login(), row.used);
        EXPECT_NEAR(static_cast<double>(client.clock_offset()), -3 * 3600.0, 2.0);
        std::vector<Scope> scopes;
        ASSERT_TRUE(client.get_scopes(scopes).ok());
        EXPECT_EQ(device.with_state([](auto& s) { return s.log.at(0); }), "GetSystemDateAndTime");  // first, no credentials
        EXPECT_EQ(operations(device, "GetDeviceInformation").back(), row.seen);
        // once answered, a digest is sent straight away
        EXPECT_EQ(operations(device, "GetScopes").size(), 1u);
    }
}

TEST(DeviceClient, RefusalsAreNotAuthorizedAndNeverFallBackToBasic) {
    for (Login login : {Login::token, Login::digest_md5, Login::digest_sha256, Login::basic_only}) {
        FakeOnvifDevice device(login, "s3cret");
        DeviceClient client(device.xaddr(), "admin", "wrong");
        std::vector<NetworkInterface> nics;
        const Result result = client.get_network_interfaces(nics);
        EXPECT_EQ(result.status, Status::not_authorized) << describe(result);
        EXPECT_LE(operations(device, "GetNetworkInterfaces").size(), 2u);  // no retrying what was refused
        for (const std::string& line : operations(device, "")) EXPECT_EQ(line.find("basic"), std::string::npos);
    }
}

TEST(DeviceClient, RereadsTheClockOnceWhenATokenIsRefusedForIt) {
    FakeOnvifDevice device(Login::token, "s3cret");
    DeviceClient client(device.xaddr(), "admin", "s3cret");
    std::vector<Service> services;
    ASSERT_TRUE(client.get_services(true, services).ok());
    device.with_state([](auto& s) { s.clock_offset = 7200; });  // the camera's clock was set meanwhile
    ASSERT_TRUE(client.get_services(true, services).ok());
    EXPECT_EQ(operations(device, "GetServices"),
              (std::vector<std::string>{"GetServices token", "GetServices refused", "GetServices token"}));
    EXPECT_EQ(operations(device, "GetSystemDateAndTime").size(), 2u);
}

TEST(DeviceClient, AnswersAStaleNonceWithTheNewOne) {
    FakeOnvifDevice device(Login::digest_sha256, "s3cret");
    DeviceClient client(device.xaddr(), "admin", "s3cret");
    Capabilities caps;
    ASSERT_TRUE(client.get_capabilities(caps).ok());
    device.with_state([](auto& s) { s.nonce = "nonce-1", s.nonce_expired = true; });
    ASSERT_TRUE(client.get_capabilities(caps).ok());
    EXPECT_EQ(caps.device_xaddr, "http://10.77.1.5/onvif/device_service");
    EXPECT_EQ(operations(device, "GetCapabilities").back(), "GetCapabilities digest SHA-256");
}

TEST(DeviceClient, FaultsOversizedAndWrongRepliesAndSilenceAreTyped) {
    const struct { FakeOnvifDevice::Reply reply; Status status; } rows[] = {
        {{500, onvif_message("fault_not_supported.xml")}, Status::not_supported},
        {{503, ""}, Status::busy},
        {{400, onvif_message("fault_invalid_address.xml")}, Status::bad_argument},
        {{200, onvif_message("device_information.xml")}, Status::bad_reply},  // not a GetScopesResponse
        {{200, std::string(kMaxSoapBytes + 1, ' ')}, Status::bad_reply},
    };
    for (const auto& row : rows) {
        FakeOnvifDevice device(Login::digest_md5, "");
        device.with_state([&](auto& s) { s.replies["GetScopes"] = row.reply; });
        DeviceClient client(device.xaddr(), "admin", "");
        std::vector<Scope> scopes;
        EXPECT_EQ(client.get_scopes(scopes).status, row.status) << row.reply.body.substr(0, 100);
    }
    std::vector<Scope> scopes;
    DeviceClient client("http://127.0.0.1:1/onvif/device_service", "admin", "");
    EXPECT_EQ(client.get_scopes(scopes).status, Status::unreachable);
}
