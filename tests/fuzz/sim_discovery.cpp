// The simulated cameras' side of discovery: the checks a datagram passes before the responder
// acts on it (as DiscoveryResponder::handle_datagram makes them), the two request decoders,
// the address parser, and what a camera makes of a change request.
#include "discovery/DiscoveryHeader.h"
#include "discovery/DiscoveryMessages.h"
#include "foundation/ResultCodes.h"
#include "sim/Ipv4.h"
#include "sim/SimCamera.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>
#include <string>

namespace {

std::string text_of(const char (&field)[kDiscoveryTextSize]) {
    return std::string(field, strnlen(field, sizeof field));
}

bool terminated(const char (&field)[kDiscoveryTextSize]) {
    return std::memchr(field, 0, sizeof field) != nullptr;
}

// Texts that the XML writer and reader carry unchanged: printable ASCII without markup
// characters, and no blanks at the ends.
bool plain(const char (&field)[kDiscoveryTextSize]) {
    const std::string text = text_of(field);
    if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) return false;
    for (char c : text)
        if (c < 0x20 || c > 0x7e || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') return false;
    return true;
}

void check_address(const std::string& text) {
    const auto parsed = parse_ipv4(text);
    if (!parsed) return;
    FUZZ_CHECK(parse_ipv4(format_ipv4(*parsed)) == parsed);
}

template <class Message, class Record>
void check_round_trip(const Record& first) {
    Message encoder;
    char text[kPayloadCapacity];
    int length = static_cast<int>(sizeof text);
    FUZZ_CHECK(encoder.FromMe(&first, text, &length) == RC_OK);
    Record second;
    std::memset(&second, 0, sizeof second);  // padding included, for the comparison below
    Message decoder;
    FUZZ_CHECK(decoder.ToMe(std::string_view(text, static_cast<size_t>(length)), &second, sizeof second) == RC_OK);
    FUZZ_CHECK(std::memcmp(&first, &second, sizeof first) == 0);
}

void device_info_request(std::string_view payload) {
    REQUEST_DEVICE_INFO request;
    std::memset(&request, 0, sizeof request);
    MSG_REQUEST_DEVICE_INFO message;
    if (message.ToMe(payload, &request, sizeof request) != RC_OK) return;
    FUZZ_CHECK(terminated(request.server_ip));
    check_address(text_of(request.server_ip));
    if (plain(request.server_ip)) check_round_trip<MSG_REQUEST_DEVICE_INFO>(request);
}

CameraConfig camera_config() {
    CameraConfig config;
    config.mac_address = "00:12:41:00:00:01";
    config.ip_address = "10.77.2.10";
    return config;
}

void change_request(std::string_view payload) {
    NETWORK_INFO_REQUEST request;
    std::memset(&request, 0, sizeof request);
    MSG_NETWORK_INFO_REQUEST message;
    if (message.ToMe(payload, &request, sizeof request) != RC_OK) return;
    FUZZ_CHECK(terminated(request.dev_mac) && terminated(request.new_dev_ip) && terminated(request.new_dev_submask));
    FUZZ_CHECK(terminated(request.new_dev_gateway) && terminated(request.server_ip));
    if (plain(request.dev_mac) && plain(request.new_dev_ip) && plain(request.new_dev_submask) && plain(request.new_dev_gateway) &&
        plain(request.server_ip))
        check_round_trip<MSG_NETWORK_INFO_REQUEST>(request);

    // A camera takes only addresses it can use and ports in range; anything else keeps the
    // old value.
    static const CameraConfig initial = camera_config();
    SimCamera camera(initial);
    const NetworkChange change{text_of(request.new_dev_ip), text_of(request.new_dev_submask), text_of(request.new_dev_gateway),
                               request.new_dev_cmdport, request.new_dev_mediaport, request.new_dev_httpport,
                               request.new_dev_mobileport};
    const CameraConfig after = camera.apply(change).after;
    FUZZ_CHECK(parse_ipv4(after.ip_address) && parse_ipv4(after.subnet_mask) && parse_ipv4(after.gateway));
    FUZZ_CHECK(after.cmd_port != 0 && after.media_port != 0 && after.http_port != 0 && after.phone_port != 0);
    FUZZ_CHECK(after.mac_address == initial.mac_address);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kRecvBufferSize) return -1;
    DiscoveryHeader header;
    if (size < sizeof header) return 0;
    std::memcpy(&header, data, sizeof header);
    header.to_host();
    const size_t payload_length = header.payload_length();
    if (header.magic() != kDiscoveryMagic || payload_length > size - sizeof header) return 0;
    const std::string payload(reinterpret_cast<const char*>(data) + sizeof header, payload_length);
    if (header.command() == kCmdRequestDeviceInfo) device_info_request(payload);
    if (header.command() == kCmdNetworkInfoRequest) change_request(payload);
    return 0;
}
