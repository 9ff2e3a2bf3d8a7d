// The tool's side of discovery: a datagram as the receiver takes it off its socket, through
// the header checks and the reply decoder to the callback; a decoded reply also goes once
// around the encoder.
#include "discovery/DiscoveryHeader.h"
#include "discovery/DiscoveryMessages.h"
#include "discovery/PrivateDiscover.h"
#include "foundation/ResultCodes.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>

namespace {

private_discover* g_receiver = nullptr;

bool terminated(const char (&field)[kDiscoveryTextSize]) {
    return std::memchr(field, 0, sizeof field) != nullptr;
}

// Characters the encoder writes as they are and from which no attribute name can be formed,
// so that the raw-text decoder finds each value where the encoder put it.
bool plain(const char (&field)[kDiscoveryTextSize]) {
    for (size_t i = 0; i < sizeof field && field[i] != '\0'; ++i) {
        const char c = field[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != '.' && c != ':' && c != '-') return false;
    }
    return true;
}

bool same_text(const char (&a)[kDiscoveryTextSize], const char (&b)[kDiscoveryTextSize]) {
    return std::strcmp(a, b) == 0;
}

void check_round_trip(const DEV_INFO& first) {
    if (!plain(first.mac_address) || !plain(first.ip_address) || !plain(first.subnet_mask) || !plain(first.gateway) ||
        !plain(first.software_ver))
        return;
    MSG_DEV_INFO_REPLY encoder;
    char text[kPayloadCapacity];
    int length = static_cast<int>(sizeof text);
    FUZZ_CHECK(encoder.FromMe(&first, text, &length) == RC_OK);
    DEV_INFO second{};
    MSG_DEV_INFO_REPLY decoder;
    FUZZ_CHECK(decoder.ToMe(std::string_view(text, static_cast<size_t>(length)), &second, sizeof second) == RC_OK);
    FUZZ_CHECK(same_text(first.mac_address, second.mac_address) && same_text(first.ip_address, second.ip_address));
    FUZZ_CHECK(same_text(first.subnet_mask, second.subnet_mask) && same_text(first.gateway, second.gateway));
    FUZZ_CHECK(same_text(first.software_ver, second.software_ver));
    FUZZ_CHECK(first.cmd_port == second.cmd_port && first.media_port == second.media_port);
    FUZZ_CHECK(first.http_port == second.http_port && first.phone_port == second.phone_port);
    FUZZ_CHECK(first.ipc_type == second.ipc_type && first.board_type == second.board_type);
    FUZZ_CHECK(first.device_type == second.device_type);
}

// The callback sees only valid replies, every text ending inside its field.
uint32_t on_device(const DEV_INFO* record, uint32_t, void*) {
    FUZZ_CHECK(record != nullptr);
    FUZZ_CHECK(terminated(record->mac_address) && terminated(record->ip_address) && terminated(record->master_ip));
    FUZZ_CHECK(terminated(record->subnet_mask) && terminated(record->gateway) && terminated(record->software_ver));
    FUZZ_CHECK(record->mac_address[0] != '\0' && record->ip_address[0] != '\0' && record->software_ver[0] != '\0');
    FUZZ_CHECK(record->cmd_port != 0 && record->device_type != 0);
    check_round_trip(*record);
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_receiver = new private_discover();
    g_receiver->set_discovery_cb(on_device, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The receiver copies no more than its buffer holds from the socket.
    if (size > kRecvBufferSize) return -1;
    g_receiver->handle_packet("10.77.0.9", data, size);
    return 0;
}
