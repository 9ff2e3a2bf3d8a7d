#include "sim/ReplyBuilder.h"

#include "discovery/DiscoveryMessages.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

void copy_text(char (&field)[kDiscoveryTextSize], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

// Turns the XML into text that still has the attribute names in it but no quoted values,
// so a reader that searches for name="value" finds nothing.
void garble(unsigned char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        switch (text[i]) {
        case '"': text[i] = '\''; break;
        case '<': text[i] = '['; break;
        case '>': text[i] = ']'; break;
        case '=': text[i] = ':'; break;
        default: break;
        }
    }
}

} // namespace

DEV_INFO make_dev_info(const CameraConfig& camera, uint16_t device_port) {
    DEV_INFO info;
    std::memset(&info, 0, sizeof info);
    copy_text(info.mac_address, camera.mac_address);
    copy_text(info.ip_address, camera.ip_address);
    info.port = device_port;
    info.cmd_port = camera.cmd_port;
    info.media_port = camera.media_port;
    info.phone_port = camera.phone_port;
    info.ipc_type = camera.ipc_type;
    info.board_type = camera.board_type;
    info.device_type = camera.faults.zero_device_type ? 0 : camera.device_type;
    copy_text(info.subnet_mask, camera.subnet_mask);
    copy_text(info.gateway, camera.gateway);
    copy_text(info.software_ver, camera.faults.empty_version ? std::string() : camera.software_ver);
    info.http_port = camera.http_port;
    return info;
}

bool build_reply(const CameraConfig& camera, uint16_t device_port, ReplyDatagram& out) {
    out.bytes.fill(0);
    out.length = 0;
    const DEV_INFO info = make_dev_info(camera, device_port);
    MSG_DEV_INFO_REPLY message;
    const size_t length = encode_datagram(message, kCmdDevInfoReply, &info, out.bytes.data());
    if (length == 0) return false;
    const size_t payload = length - kDiscoveryHeaderSize;
    if (camera.faults.malformed_reply) garble(out.bytes.data() + kDiscoveryHeaderSize, payload);
    out.length = camera.faults.truncated_reply ? kDiscoveryHeaderSize + payload / 2 : length;
    return true;
}
