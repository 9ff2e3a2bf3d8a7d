#include "discovery/DiscoveryMessages.h"

#include "discovery/DiscoveryHeader.h"
#include "foundation/ResultCodes.h"
#include "foundation/debug_log.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Record texts are fixed arrays; one filled to the last byte has no NUL, so bound the copy.
std::string record_text(const char (&field)[kDiscoveryTextSize]) {
    return std::string(field, strnlen(field, kDiscoveryTextSize));
}

// On a successful export *length becomes the text's length; on failure it stays as given.
uint32_t finish_export(uint32_t export_result, const char* out_text, int* length) {
    if (export_result != RC_OK) return RC_FAIL;
    *length = static_cast<int>(std::strlen(out_text));
    return RC_OK;
}

bool usable_output(const void* record, const char* out_text, const int* length) {
    return record && out_text && length && *length > 0;
}

// The reply is searched as raw text: the first occurrence of the name anywhere, then the
// value between the next two double quotes. Nothing here looks past text.size().
size_t value_start(std::string_view text, std::string_view name) {
    size_t at = text.find(name);
    if (at == std::string_view::npos) return std::string_view::npos;
    size_t quote = text.find('"', at);
    return quote == std::string_view::npos ? quote : quote + 1;
}

void find_text(std::string_view text, std::string_view name, char (&field)[kDiscoveryTextSize]) {
    std::memset(field, 0, sizeof field);
    size_t start = value_start(text, name);
    if (start == std::string_view::npos) return;
    size_t end = text.find('"', start);
    if (end == std::string_view::npos) return;
    if (end - start < kDiscoveryTextSize) std::memcpy(field, text.data() + start, end - start);
}

// A number that does not fit its field counts as missing, as an overlong text does: cut
// or wrapped it would name another port or type than the device sent.
int32_t find_int(std::string_view text, std::string_view name) {
    size_t start = value_start(text, name);
    if (start == std::string_view::npos) return 0;
    bool fits = false;
    const int32_t value = xml_leading_int(text.substr(start), &fits);
    return fits ? value : 0;
}

uint16_t port_or_zero(int32_t value) {
    return value >= 0 && value <= UINT16_MAX ? static_cast<uint16_t>(value) : 0;
}

uint16_t find_port(std::string_view text, std::string_view name) {
    return port_or_zero(find_int(text, name));
}

} // namespace

uint32_t MSG_REQUEST_DEVICE_INFO::FromMe(const void* record, char* out_text, int* length) {
    if (!usable_output(record, out_text, length)) {
        DEBUG_LOCATION("Discovery", "MSG_REQUEST_DEVICE_INFO::FromMe");
        return RC_FAIL;
    }
    const auto& r = *static_cast<const REQUEST_DEVICE_INFO*>(record);
    open_xml(nullptr);
    write_string(m_name, "server_ip", record_text(r.server_ip).c_str());
    write_int(m_name, "server_port", r.server_port);
    write_int(m_name, "connection_type", r.connection_type);
    return finish_export(export_xmlbuffer(out_text, static_cast<size_t>(*length)), out_text, length);
}

uint32_t MSG_REQUEST_DEVICE_INFO::ToMe(std::string_view text, void* record, size_t record_size) {
    if (!record || record_size < sizeof(REQUEST_DEVICE_INFO)) {
        DEBUG_LOCATION("Discovery", "MSG_REQUEST_DEVICE_INFO::ToMe");
        return RC_FAIL;
    }
    auto& r = *static_cast<REQUEST_DEVICE_INFO*>(record);
    open_xml(std::string(text).c_str());  // the parser needs a NUL-terminated text
    int32_t value = 0;
    read_string(m_name, "server_ip", r.server_ip, sizeof r.server_ip);
    read_int(m_name, "server_port", &value);
    r.server_port = port_or_zero(value);
    read_int(m_name, "connection_type", &r.connection_type);
    return RC_OK;
}

uint32_t MSG_DEV_INFO_REPLY::FromMe(const void* record, char* out_text, int* length) {
    if (!usable_output(record, out_text, length)) {
        DEBUG_LOCATION("Discovery", "MSG_DEV_INFO_REPLY::FromMe");
        return RC_FAIL;
    }
    const auto& r = *static_cast<const DEV_INFO*>(record);
    open_xml(nullptr);
    write_string(m_name, "mac_address", record_text(r.mac_address).c_str());
    write_string(m_name, "ip_address", record_text(r.ip_address).c_str());
    write_string(m_name, "master_ip", record_text(r.master_ip).c_str());
    write_int(m_name, "port", r.port);
    write_int(m_name, "cmd_port", r.cmd_port);
    write_int(m_name, "media_port", r.media_port);
    write_int(m_name, "http_port", r.http_port);
    write_int(m_name, "phone_port", r.phone_port);
    write_int(m_name, "ipc_type", r.ipc_type);
    write_int(m_name, "board_type", r.board_type);
    write_int(m_name, "device_type", r.device_type);
    write_string(m_name, "subnet_mask", record_text(r.subnet_mask).c_str());
    write_string(m_name, "gateway", record_text(r.gateway).c_str());
    write_string(m_name, "software_ver", record_text(r.software_ver).c_str());
    return finish_export(export_xmlbuffer(out_text, static_cast<size_t>(*length)), out_text, length);
}

uint32_t MSG_DEV_INFO_REPLY::ToMe(std::string_view text, void* record, size_t record_size) {
    if (!record || record_size < sizeof(DEV_INFO)) {
        DEBUG_LOCATION("Discovery", "MSG_DEV_INFO_REPLY::ToMe");
        return RC_FAIL;
    }
    auto& r = *static_cast<DEV_INFO*>(record);
    // Fields are taken one by one so that those after an early exit stay as the caller left
    // them (zero); port and master_ip are never read.
    find_text(text, "mac_address", r.mac_address);
    if (r.mac_address[0] == '\0') return RC_FAIL;
    find_text(text, "ip_address", r.ip_address);
    if (r.ip_address[0] == '\0') return RC_FAIL;
    r.cmd_port = find_port(text, "cmd_port");
    if (r.cmd_port == 0) return RC_FAIL;
    r.media_port = find_port(text, "media_port");
    r.http_port = find_port(text, "http_port");
    r.phone_port = find_port(text, "phone_port");
    r.ipc_type = find_int(text, "ipc_type");
    r.board_type = find_int(text, "board_type");
    r.device_type = find_int(text, "device_type");
    if (r.device_type == 0) return RC_FAIL;
    find_text(text, "subnet_mask", r.subnet_mask);
    find_text(text, "gateway", r.gateway);
    find_text(text, "software_ver", r.software_ver);
    if (r.software_ver[0] == '\0') {
        DEBUG_LOCATION("Discovery", "MSG_DEV_INFO_REPLY::ToMe");
        return RC_FAIL;
    }
    return RC_OK;
}

uint32_t MSG_NETWORK_INFO_REQUEST::FromMe(const void* record, char* out_text, int* length) {
    if (!usable_output(record, out_text, length)) {
        DEBUG_LOCATION("Discovery", "MSG_NETWORK_INFO_REQUEST::FromMe");
        return RC_FAIL;
    }
    const auto& r = *static_cast<const NETWORK_INFO_REQUEST*>(record);
    open_xml(nullptr);
    write_string(m_name, "dev_mac", record_text(r.dev_mac).c_str());
    write_string(m_name, "new_dev_ip", record_text(r.new_dev_ip).c_str());
    write_string(m_name, "new_dev_submask", record_text(r.new_dev_submask).c_str());
    write_string(m_name, "new_dev_gateway", record_text(r.new_dev_gateway).c_str());
    write_int(m_name, "new_dev_cmdport", r.new_dev_cmdport);
    write_int(m_name, "new_dev_mediaport", r.new_dev_mediaport);
    write_int(m_name, "new_dev_mobileport", r.new_dev_mobileport);
    write_int(m_name, "new_dev_httpport", r.new_dev_httpport);
    write_string(m_name, "server_ip", record_text(r.server_ip).c_str());
    write_int(m_name, "server_port", r.server_port);
    return finish_export(export_xmlbuffer(out_text, static_cast<size_t>(*length)), out_text, length);
}

uint32_t MSG_NETWORK_INFO_REQUEST::ToMe(std::string_view text, void* record, size_t record_size) {
    if (!record || record_size < sizeof(NETWORK_INFO_REQUEST)) {
        DEBUG_LOCATION("Discovery", "MSG_NETWORK_INFO_REQUEST::ToMe");
        return RC_FAIL;
    }
    auto& r = *static_cast<NETWORK_INFO_REQUEST*>(record);
    open_xml(std::string(text).c_str());
    read_string(m_name, "dev_mac", r.dev_mac, sizeof r.dev_mac);
    read_string(m_name, "new_dev_ip", r.new_dev_ip, sizeof r.new_dev_ip);
    read_string(m_name, "new_dev_submask", r.new_dev_submask, sizeof r.new_dev_submask);
    read_string(m_name, "new_dev_gateway", r.new_dev_gateway, sizeof r.new_dev_gateway);
    read_int(m_name, "new_dev_cmdport", &r.new_dev_cmdport);
    read_int(m_name, "new_dev_mediaport", &r.new_dev_mediaport);
    read_int(m_name, "new_dev_mobileport", &r.new_dev_mobileport);
    read_int(m_name, "new_dev_httpport", &r.new_dev_httpport);
    read_string(m_name, "server_ip", r.server_ip, sizeof r.server_ip);
    read_int(m_name, "server_port", &r.server_port);
    return RC_OK;
}

size_t encode_datagram(IXmlMessage& message, uint32_t command, const void* record, unsigned char* buffer) {
    if (!buffer) return 0;
    std::memset(buffer, 0, kSendBufferSize);
    int length = static_cast<int>(kPayloadCapacity);
    char* payload = reinterpret_cast<char*>(buffer + kDiscoveryHeaderSize);
    if (message.FromMe(record, payload, &length) != RC_OK) return 0;

    DiscoveryHeader header{};
    header.word[0] = kDiscoveryMagic;
    header.word[2] = command;
    header.word[7] = static_cast<uint32_t>(length);
    header.to_network();
    std::memcpy(buffer, &header, sizeof header);
    return kDiscoveryHeaderSize + static_cast<size_t>(length);
}
