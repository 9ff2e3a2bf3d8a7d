// Configuration and control calls of the C interface: each is one request on the login.
#include "devsdk/client/Library.h"
#include "devsdk/ovix_client.h"

#include <algorithm>
#include <cstring>

using namespace ovix;
using namespace ovix::client;

namespace {

int32_t request(int32_t login_handle, Kind kind, const Bytes& payload, Bytes* answer = nullptr) {
    std::shared_ptr<LoginSession> session;
    int32_t result = lookup(library().logins, login_handle, session);
    if (result != OVIX_OK) return result;
    return session->call(kind, payload, answer);
}

// A record read from the device: what it sent, zero-filled to the caller's length. When the
// result is not OK, the buffer is undefined.
int32_t read_record(int32_t login_handle, Kind kind, const Bytes& payload, void* buffer, int32_t length) {
    if (!buffer || length <= 0 || length > OVIX_CONFIG_MAX) return OVIX_ERR_BAD_ARGUMENT;
    Bytes data;
    int32_t result = request(login_handle, kind, payload, &data);
    if (result != OVIX_OK) return result;
    // A success that carries no record at all is no answer to a read (and data() may be null).
    if (data.empty()) return OVIX_ERR_PROTOCOL;
    size_t n = std::min(data.size(), static_cast<size_t>(length));
    std::memcpy(buffer, data.data(), n);
    std::memset(static_cast<uint8_t*>(buffer) + n, 0, static_cast<size_t>(length) - n);
    return OVIX_OK;
}

} // namespace

extern "C" {

int32_t Network_ClientGetDeviceConfig(int32_t login_handle, int32_t command, int32_t channel, void* buffer,
                                      int32_t length) {
    return read_record(login_handle, Kind::GetConfig, encode(ConfigGet{command, channel, length}), buffer, length);
}

int32_t Network_ClientSetDeviceConfig(int32_t login_handle, int32_t command, int32_t channel, const void* buffer,
                                      int32_t length) {
    if (length < 0 || length > OVIX_CONFIG_MAX || (length > 0 && !buffer)) return OVIX_ERR_BAD_ARGUMENT;
    ConfigSet set{command, channel, {}};
    if (length > 0) {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        set.data.assign(bytes, bytes + length);
    }
    return request(login_handle, Kind::SetConfig, encode(set));
}

int32_t Network_ClientDeviceControl(int32_t login_handle, int32_t command, int32_t channel, int32_t value1,
                                    int32_t value2) {
    return request(login_handle, Kind::DeviceControl, encode(DeviceControl{command, channel, value1, value2}));
}

int32_t Network_ClientLDRControl(int32_t login_handle, int32_t code, int32_t value) {
    return request(login_handle, Kind::LdrControl, encode(CodeValue{code, value}));
}

int32_t Network_ClientIrcutControl(int32_t login_handle, int32_t open) {
    return request(login_handle, Kind::IrcutControl, encode_i32(open));
}

int32_t Network_ClientPTZControl(int32_t login_handle, int32_t channel, const ovix_ptz* command) {
    if (!command) return OVIX_ERR_BAD_ARGUMENT;
    return request(login_handle, Kind::PtzControl,
                   encode(PtzRequest{channel, command->action, command->direction, command->speed}));
}

int32_t Network_ClientPlayVoiceData_test(int32_t login_handle, int32_t value) {
    return request(login_handle, Kind::PlayVoice, encode_i32(value));
}

int32_t Network_ClientGetCameraAdvanceConfig(int32_t login_handle, int32_t channel, void* buffer, int32_t length) {
    return read_record(login_handle, Kind::GetCapability, encode_i32(channel), buffer, length);
}

} // extern "C"
