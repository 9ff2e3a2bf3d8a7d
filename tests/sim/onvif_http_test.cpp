// The bounds of a simulated camera's HTTP side, with requests written by hand: what it
// refuses, that one connection carries several requests, and that a camera that is down
// takes no connection at all.
#include "support/OnvifFleet.h"

#include <gmock/gmock.h>

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Sends `text` on a fresh connection to ip:80, ends the sending side and reads until the
// camera closes; empty when it could not connect.
std::string exchange(const std::string& ip, const std::string& text) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(80);
    to.sin_addr.s_addr = inet_addr(ip.c_str());
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        char buffer[4096];
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, static_cast<int>(Clock::real_ms(10000))) > 0) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            answer.append(buffer, static_cast<size_t>(got));
        }
    }
    ::close(fd);
    return answer;
}

std::string soap_post(const std::string& body, const std::string& extra = {}) {
    return "POST /onvif/device_service HTTP/1.1\r\nHost: camera\r\nContent-Type: application/soap+xml\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n" + extra + "\r\n" + body;
}

class OnvifHttpTest : public support::OnvifFleetTest {};

TEST_F(OnvifHttpTest, RequestsBeyondItsBoundsAreRefused) {
    start(1);
    const struct {
        const char* name;
        std::string request;
        const char* status_line;
    } rows[] = {
        {"headers over 16 KiB", "POST /onvif/device_service HTTP/1.1\r\nX-Pad: " + std::string(17000, 'a') + "\r\n\r\n", "HTTP/1.1 400"},
        {"a body over 1 MiB", "POST /onvif/device_service HTTP/1.1\r\nContent-Length: 4194304\r\n\r\n" + std::string(4u << 20, 'x'),
         "HTTP/1.1 413"},
        {"chunks", "POST /onvif/device_service HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", "HTTP/1.1 411"},
        {"not a POST", "GET /onvif/device_service HTTP/1.1\r\n\r\n", "HTTP/1.1 405"},
        {"another path", "POST /onvif/media HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 404"},
        {"no request line", "\x16\x03\x01 hello\r\n\r\n", "HTTP/1.1 400"},
        {"not SOAP", soap_post("<a/>"), "HTTP/1.1 400"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_THAT(exchange("10.77.1.1", row.request), StartsWith(row.status_line));
    }
}

TEST_F(OnvifHttpTest, OneConnectionCarriesSeveralRequests) {
    start(1);
    const std::string clock = soap_post(onvif::build_request("<tds:GetSystemDateAndTime/>"));
    const std::string answer = exchange("10.77.1.1", clock + clock + soap_post(onvif::build_request("<tds:GetUsers/>")));
    size_t ok = 0;
    for (size_t at = answer.find("HTTP/1.1 200"); at != std::string::npos; at = answer.find("HTTP/1.1 200", at + 1)) ++ok;
    EXPECT_EQ(ok, 2u);
    EXPECT_THAT(answer, HasSubstr("HTTP/1.1 401")) << "the third, unsigned, is challenged on the same connection";
}

TEST_F(OnvifHttpTest, ACameraThatIsDownTakesNoConnection) {
    Clock::set_speed(20);
    start(1, [](CameraConfig& c) { c.device.faults.reboot_never_returns = true; });
    onvif::SoapReply reply;
    ASSERT_TRUE(client()->call({"SystemReboot", "<tds:SystemReboot/>"}, reply).ok());
    ASSERT_TRUE(support::eventually([&] { return !camera().online(); }));
    EXPECT_TRUE(support::eventually([&] { return exchange("10.77.1.1", soap_post("")).empty(); }));
    onvif::DeviceInformation info;
    EXPECT_EQ(client()->get_device_information(info).status, onvif::Status::unreachable);
}

} // namespace
