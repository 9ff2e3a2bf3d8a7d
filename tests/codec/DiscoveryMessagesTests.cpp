#include "discovery/DiscoveryHeader.h"
#include "discovery/DiscoveryMessages.h"
#include "support/DeviceRecord.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <regex>
#include <string>

namespace {

uint32_t word_at(const unsigned char* buffer, size_t index) {
    uint32_t word;
    std::memcpy(&word, buffer + 4 * index, 4);
    return ntohl(word);
}

REQUEST_DEVICE_INFO sample_request() {
    REQUEST_DEVICE_INFO r{};
    set_text(r.server_ip, "192.168.1.10");
    r.server_port = 12000;
    r.connection_type = 2;
    return r;
}

const std::string kReplyStart =
    R"(mac_address="00:11:22:33:44:55" ip_address="10.0.0.5" cmd_port="8000" media_port="8001" )"
    R"(http_port="80" phone_port="8002" ipc_type="3" board_type="255" subnet_mask="255.255.255.0" gateway="10.0.0.1")";
const std::string kReply = kReplyStart + R"( device_type="7" software_ver="V1")";

std::string replace(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

} // namespace

TEST(DiscoveryDatagram, RequestEncodesToSixLinesBehindABigEndianHeader) {
    const REQUEST_DEVICE_INFO request = sample_request();
    MSG_REQUEST_DEVICE_INFO message;
    unsigned char buffer[kSendBufferSize];
    std::memset(buffer, 0xAA, sizeof buffer);
    const size_t size = encode_datagram(message, kCmdRequestDeviceInfo, &request, buffer);

    const std::string expected =
        "<?xml version=\"1.0\" ?>\n<Message Version=\"1\">\n    <Header>\n"
        "        <MSG_REQUEST_DEVICE_INFO server_ip=\"192.168.1.10\" server_port=\"12000\" connection_type=\"2\" />\n"
        "    </Header>\n</Message>\n";
    ASSERT_EQ(size, 64 + expected.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + 64, expected.size()), expected);
    EXPECT_EQ(buffer[0], 0xFF);
    std::vector<uint32_t> words;
    for (size_t i = 0; i < 8; ++i) words.push_back(word_at(buffer, i));
    EXPECT_EQ(words, (std::vector<uint32_t>{0xFFFE3412u, 0, 4097u, 0, 0, 0, 0, static_cast<uint32_t>(expected.size())}));
    for (size_t i = 32; i < 64; ++i) EXPECT_EQ(buffer[i], 0) << i;
    for (size_t i = size; i < kSendBufferSize; ++i) ASSERT_EQ(buffer[i], 0) << i;
}

TEST(DiscoveryDatagram, FromMeFailsWithoutRoomAndKeepsTheLength) {
    const REQUEST_DEVICE_INFO request = sample_request();
    char out[kPayloadCapacity];
    int length = static_cast<int>(sizeof out);
    MSG_REQUEST_DEVICE_INFO first, second;
    ASSERT_EQ(first.FromMe(&request, out, &length), 0u);
    const int exact = length;  // leaves no room for the NUL
    EXPECT_NE(second.FromMe(&request, out, &length), 0u);
    EXPECT_EQ(length, exact);
}

TEST(DiscoveryDatagram, AttributesFollowTheFixedOrder) {
    // Attribute names in the order they stand in the text.
    auto names = [](IXmlMessage&& message, const void* record) {
        char text[kPayloadCapacity];
        int length = static_cast<int>(sizeof text);
        EXPECT_EQ(message.FromMe(record, text, &length), 0u);
        const std::string printed(text, static_cast<size_t>(length));
        const std::regex attribute(R"(([A-Za-z_]+)=")");
        std::string found;
        for (std::sregex_iterator it(printed.begin(), printed.end(), attribute), end; it != end; ++it)
            found += (*it)[1].str() + " ";
        return found;
    };
    const DEV_INFO device{};
    const NETWORK_INFO_REQUEST change{};
    EXPECT_EQ(names(MSG_DEV_INFO_REPLY(), &device),
              "version Version mac_address ip_address master_ip port cmd_port media_port http_port "
              "phone_port ipc_type board_type device_type subnet_mask gateway software_ver ");
    EXPECT_EQ(names(MSG_NETWORK_INFO_REQUEST(), &change),
              "version Version dev_mac new_dev_ip new_dev_submask new_dev_gateway new_dev_cmdport "
              "new_dev_mediaport new_dev_mobileport new_dev_httpport server_ip server_port ");
}

TEST(DiscoveryReply, DecodesTheRawText) {
    struct Case { const char* what; std::string attributes; uint32_t result; const char* ip; const char* gateway; uint16_t cmd_port; };
    const std::string g31(31, 'g');
    const Case cases[] = {
        {"complete", kReply, 0, "10.0.0.5", "10.0.0.1", 8000},
        {"empty software_ver", replace(kReply, "V1", ""), 1, "10.0.0.5", "10.0.0.1", 8000},
        {"missing software_ver", replace(kReply, "software_ver", "version"), 1, "10.0.0.5", "10.0.0.1", 8000},
        {"device_type 0", replace(kReply, "\"7\"", "\"0\""), 1, "10.0.0.5", "", 8000},
        {"device_type missing", replace(kReply, "device_type", "kind"), 1, "10.0.0.5", "", 8000},
        {"mac missing", replace(kReply, "mac_address", "hw"), 1, "", "", 0},
        {"cmd_port 0", replace(kReply, "8000", "0"), 1, "10.0.0.5", "", 0},
        {"31-char value", replace(kReply, "10.0.0.1", g31), 0, "10.0.0.5", g31.c_str(), 8000},
        {"32-char value", replace(kReply, "10.0.0.1", g31 + "g"), 0, "10.0.0.5", "", 8000},
        {"name inside a value", replace(kReply, "00:11:22:33:44:55", "ip_address"), 0, " ip_address=", "10.0.0.1", 8000},
        {"name inside a name", "old_cmd_port=\"5\" " + kReply, 0, "10.0.0.5", "10.0.0.1", 5},
    };
    for (const auto& c : cases) {
        DEV_INFO device{};
        MSG_DEV_INFO_REPLY message;
        EXPECT_EQ(message.ToMe("<MSG_DEV_INFO_REPLY " + c.attributes + " />", &device, sizeof device), c.result) << c.what;
        EXPECT_STREQ(device.ip_address, c.ip) << c.what;
        EXPECT_STREQ(device.gateway, c.gateway) << c.what;
        EXPECT_EQ(device.cmd_port, c.cmd_port) << c.what;
    }
}

// A number that does not fit its field counts as missing, as an overlong text does; it must
// never wrap into another valid value (65537 would be port 1, -1 port 65535).
TEST(DiscoveryReply, NumbersOutsideTheirFieldCountAsMissing) {
    struct Case { const char* from; const char* to; uint32_t result; uint16_t cmd_port; uint16_t media_port; int32_t ipc_type; };
    const Case cases[] = {
        {"cmd_port=\"8000", "cmd_port=\"65535", 0, 65535, 8001, 3},
        {"cmd_port=\"8000", "cmd_port=\"65537", 1, 0, 0, 0},
        {"cmd_port=\"8000", "cmd_port=\"-1", 1, 0, 0, 0},
        {"cmd_port=\"8000", "cmd_port=\"99999999999999999999", 1, 0, 0, 0},
        {"media_port=\"8001", "media_port=\"-1", 0, 8000, 0, 3},
        {"media_port=\"8001", "media_port=\"65536", 0, 8000, 0, 3},
        {"ipc_type=\"3", "ipc_type=\"-2147483648", 0, 8000, 8001, -2147483647 - 1},
        {"ipc_type=\"3", "ipc_type=\"4294967299", 0, 8000, 8001, 0},
        {"device_type=\"7", "device_type=\"4294967303", 1, 8000, 8001, 3},
    };
    for (const auto& c : cases) {
        DEV_INFO device{};
        EXPECT_EQ(MSG_DEV_INFO_REPLY().ToMe(replace(kReply, c.from, c.to), &device, sizeof device), c.result) << c.to;
        EXPECT_EQ(device.cmd_port, c.cmd_port) << c.to;
        EXPECT_EQ(device.media_port, c.media_port) << c.to;
        EXPECT_EQ(device.ipc_type, c.ipc_type) << c.to;
    }
    // The device side: a server port that does not fit leaves the camera to answer on the usual one.
    for (const char* port : {"65537", "-1", "99999999999"}) {
        REQUEST_DEVICE_INFO request{};
        const std::string text = std::string("<Message><Header><MSG_REQUEST_DEVICE_INFO server_ip=\"10.0.0.1\" server_port=\"") +
                                 port + "\" connection_type=\"2\" /></Header></Message>";
        EXPECT_EQ(MSG_REQUEST_DEVICE_INFO().ToMe(text, &request, sizeof request), 0u) << port;
        EXPECT_EQ(request.server_port, 0) << port;
        EXPECT_STREQ(request.server_ip, "10.0.0.1") << port;
    }
}

TEST(DiscoveryMessages, RecordTooSmallFailsBeforeReading) {
    DEV_INFO device{};
    EXPECT_EQ(MSG_DEV_INFO_REPLY().ToMe(kReply, &device, sizeof device - 1), 1u);
    EXPECT_EQ(device.mac_address[0], '\0');
    REQUEST_DEVICE_INFO request{};
    EXPECT_EQ(MSG_REQUEST_DEVICE_INFO().ToMe("", &request, sizeof request - 1), 1u);
    NETWORK_INFO_REQUEST change{};
    EXPECT_EQ(MSG_NETWORK_INFO_REQUEST().ToMe("", &change, sizeof change - 1), 1u);
}
