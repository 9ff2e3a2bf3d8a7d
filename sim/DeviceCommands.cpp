#include "sim/DeviceCommands.h"

#include "devsdk/ovix_client.h"
#include "devsdk/protocol/ClockRecord.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

using ovix::Answer;
using ovix::Bytes;

namespace {

constexpr size_t kClockDeviceBytes = 48;

template <class Record>
Bytes bytes_of(const Record& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return Bytes(p, p + sizeof record);
}

void copy_text(char* field, size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

int64_t host_utc_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

Bytes clock_record(const DeviceState& state) {
    ovix_clock clock{};
    std::memcpy(&clock, state.clock_words.data(), kClockDeviceBytes);
    const int64_t local_ms = device_time_ms(state);
    const time_t seconds = static_cast<time_t>(local_ms / 1000);
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    set_clock_fields(clock, fields);
    return bytes_of(clock);
}

Bytes device_info(const CameraConfig& current) {
    const DeviceSide device = effective_device(current);
    ovix_device_info info{};
    copy_text(info.board_name, sizeof info.board_name, device.board_name);
    info.board_id = static_cast<uint32_t>(device.board_id);
    copy_text(info.mac, sizeof info.mac, current.mac_address);
    copy_text(info.software_version, sizeof info.software_version, current.software_ver);
    copy_text(info.hardware_version, sizeof info.hardware_version, device.hardware_version);
    copy_text(info.serial, sizeof info.serial, device.serial);
    copy_text(info.board_type, sizeof info.board_type, board_type_text(current.board_type));
    copy_text(info.pid, sizeof info.pid, device.pid);
    copy_text(info.cloud_uid, sizeof info.cloud_uid, device.cloud_uid);
    copy_text(info.qr_text, sizeof info.qr_text, device.qr_text);
    return bytes_of(info);
}

Bytes usb_info(const TfCard& card) {
    ovix_usb_info info{};
    if (card.present) {
        info.disk_cnt = 1;
        info.total_mb = card.total_mb;
        info.free_mb = card.free_mb;
        copy_text(info.description, sizeof info.description, card.description);
    }
    return bytes_of(info);
}

int32_t set_clock(CameraView& view, const Bytes& data) {
    if (data.size() != sizeof(ovix_clock)) return OVIX_ERR_BAD_REQUEST;
    std::array<uint8_t, 72> raw{};
    std::copy(data.begin(), data.end(), raw.begin());
    push_recent(view.record.clock_writes, raw);
    ovix_clock clock{};
    std::memcpy(&clock, data.data(), sizeof clock);
    const bool valid = clock.year >= 1970 && clock.year <= 2099 && clock.month >= 1 && clock.month <= 12 && clock.day >= 1 &&
                       clock.day <= 31 && clock.hour >= 0 && clock.hour <= 23 && clock.minute >= 0 && clock.minute <= 59 &&
                       clock.second >= 0 && clock.second <= 60;
    if (!valid) return OVIX_ERR_BAD_REQUEST;
    std::tm fields{};
    fields.tm_year = clock.year - 1900;
    fields.tm_mon = clock.month - 1;
    fields.tm_mday = clock.day;
    fields.tm_hour = clock.hour;
    fields.tm_min = clock.minute;
    fields.tm_sec = clock.second;
    const int64_t written_ms = static_cast<int64_t>(timegm(&fields)) * 1000;
    view.state.clock_offset_ms = written_ms - host_utc_ms();
    std::copy(data.begin(), data.begin() + kClockDeviceBytes, view.state.clock_words.begin());
    return OVIX_OK;
}

std::string trimmed(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    const size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

int32_t shell(CameraView& view, const Bytes& data, bool& restart) {
    if (data.empty() || data.size() > OVIX_SHELL_COMMAND_SIZE) return OVIX_ERR_BAD_REQUEST;
    const auto* text = reinterpret_cast<const char*>(data.data());
    const std::string command(text, strnlen(text, data.size()));
    push_recent(view.record.shell_commands, command);
    const std::string uid = cloud_uid_of_command(command);
    if (!uid.empty()) view.current.device.cloud_uid = uid.substr(0, sizeof(ovix_device_info::cloud_uid) - 1);
    const std::string word = trimmed(command);
    restart = word == "reboot" || word.rfind("reboot ", 0) == 0;
    return OVIX_OK;
}

bool settings_valid(const customer_cfg& cfg) {
    auto in = [](int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; };
    if (cfg.apply_time_zone == 1 && !in(cfg.time_zone, -43200, 50400)) return false;
    if (cfg.apply_time_format == 1 && !in(cfg.time_format, 0, 3)) return false;
    if (cfg.apply_language == 1 && !in(cfg.language, 0, 20)) return false;
    if (cfg.apply_video_standard == 1 && cfg.video_standard != 1 && cfg.video_standard != 2 && cfg.video_standard != 5) return false;
    if (cfg.apply_password == 1 && strnlen(cfg.password, sizeof cfg.password) == sizeof cfg.password) return false;
    if (cfg.apply_wifi_ch_max == 1 && !in(cfg.wifi_ch_max, 1, 14)) return false;
    if (cfg.apply_wifi_ch_default == 1 && !in(cfg.wifi_ch_default, 0, 14)) return false;
    if (cfg.apply_dhcp_enable == 1 && !in(cfg.dhcp_enable, 0, 1)) return false;
    return true;
}

// Only the fields whose apply word is 1 change; a record with any bad value changes nothing.
int32_t set_settings(CameraView& view, const Bytes& data) {
    if (data.size() != sizeof(customer_cfg)) return OVIX_ERR_BAD_REQUEST;
    push_recent(view.record.settings_records, data);
    customer_cfg cfg{};
    std::memcpy(&cfg, data.data(), sizeof cfg);
    if (!settings_valid(cfg)) return OVIX_ERR_BAD_REQUEST;
    CameraSettings& s = view.current.device.settings;
    if (cfg.apply_time_zone == 1) s.time_zone = cfg.time_zone;
    if (cfg.apply_time_format == 1) s.time_format = cfg.time_format;
    if (cfg.apply_language == 1) s.language = cfg.language;
    if (cfg.apply_video_standard == 1) s.video_standard = cfg.video_standard;
    if (cfg.apply_wifi_ch_max == 1) s.wifi_ch_max = cfg.wifi_ch_max;
    if (cfg.apply_wifi_ch_default == 1) s.wifi_ch_default = cfg.wifi_ch_default;
    if (cfg.apply_dhcp_enable == 1) s.dhcp = cfg.dhcp_enable == 1;
    auto& users = view.current.device.users;
    if (cfg.apply_password == 1 && !users.empty()) users.front().password = std::string(cfg.password, strnlen(cfg.password, sizeof cfg.password));
    return OVIX_OK;
}

int32_t logo(CameraView& view, int32_t command, const Bytes& data) {
    DeviceRecord::Logo& logo = view.record.logo;
    switch (command) {
    case OVIX_CMD_LOGO_START: {
        if (data.size() != sizeof(int32_t)) return OVIX_ERR_BAD_REQUEST;
        const auto length = static_cast<int32_t>(ovix::load_u32(data.data()));
        logo = DeviceRecord::Logo{};
        logo.announced = length;
        return length >= 0 ? OVIX_OK : OVIX_ERR_BAD_REQUEST;
    }
    case OVIX_CMD_LOGO_DATA: {
        if (data.empty() || data.size() > OVIX_LOGO_CHUNK_MAX) return OVIX_ERR_BAD_REQUEST;
        logo.chunks.push_back(static_cast<uint32_t>(data.size()));
        const size_t room = DeviceRecord::kLogoBytesKept - std::min(logo.bytes.size(), DeviceRecord::kLogoBytesKept);
        logo.bytes.insert(logo.bytes.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(room, data.size())));
        if (logo.announced < 0) return OVIX_ERR_FAILED;
        uint64_t total = 0;
        for (uint32_t chunk : logo.chunks) total += chunk;
        return total <= static_cast<uint64_t>(logo.announced) ? OVIX_OK : OVIX_ERR_BAD_REQUEST;
    }
    default: {  // finish
        if (!data.empty()) return OVIX_ERR_BAD_REQUEST;
        uint64_t total = 0;
        for (uint32_t chunk : logo.chunks) total += chunk;
        // A picture that did not arrive whole cannot be shown.
        const int32_t result = logo.announced >= 0 && total == static_cast<uint64_t>(logo.announced) ? OVIX_OK : OVIX_ERR_FAILED;
        logo.finished = true;
        logo.finish_result = result;
        if (result == OVIX_OK) {
            ++view.record.logo_uploads;
            view.state.logo_size = total;
        }
        return result;
    }
    }
}

} // namespace

int64_t device_time_ms(const DeviceState& state) {
    return host_utc_ms() + state.clock_offset_ms;
}

std::string cloud_uid_of_command(const std::string& command) {
    const std::string text = trimmed(command);
    static const std::string kTarget = "/config/tuya.cfg";
    if (text.rfind("echo ", 0) != 0 || text.size() < kTarget.size() ||
        text.compare(text.size() - kTarget.size(), kTarget.size(), kTarget) != 0)
        return {};
    std::string middle = text.substr(5, text.size() - 5 - kTarget.size());
    middle = trimmed(middle);
    if (middle.empty() || middle.back() != '>') return {};
    middle = trimmed(middle.substr(0, middle.size() - 1));
    if (middle.size() >= 2 && (middle.front() == '"' || middle.front() == '\'') && middle.back() == middle.front())
        middle = middle.substr(1, middle.size() - 2);
    return middle;
}

Answer get_config(DeviceContext& device, const ovix::ConfigGet& request) {
    if (request.channel != 0 || request.length <= 0) return Answer{OVIX_ERR_BAD_REQUEST, {}};
    Answer answer{OVIX_OK, {}};
    device.camera.update([&](CameraView& view) {
        switch (request.command) {
        case OVIX_CMD_GET_CLOCK: answer.data = clock_record(view.state); break;
        case OVIX_CMD_DEVICE_INFO: answer.data = device_info(view.current); break;
        case OVIX_CMD_USB_INFO: answer.data = usb_info(view.current.device.tf_card); break;
        default: answer.result = OVIX_ERR_UNSUPPORTED;
        }
    });
    // Never more than the client can take.
    if (answer.data.size() > static_cast<size_t>(request.length)) answer.data.resize(static_cast<size_t>(request.length));
    return answer;
}

Answer set_config(DeviceContext& device, const ovix::ConfigSet& request) {
    if (request.channel != 0) return Answer{OVIX_ERR_BAD_REQUEST, {}};
    int32_t result = OVIX_ERR_UNSUPPORTED;
    bool restart = false;
    device.camera.update([&](CameraView& view) {
        switch (request.command) {
        case OVIX_CMD_SET_CLOCK: result = set_clock(view, request.data); break;
        case OVIX_CMD_SHELL: result = shell(view, request.data, restart); break;
        case OVIX_CMD_CUSTOMER_CFG: result = set_settings(view, request.data); break;
        case OVIX_CMD_LOGO_START:
        case OVIX_CMD_LOGO_DATA:
        case OVIX_CMD_LOGO_FINISH: result = logo(view, request.command, request.data); break;
        default: break;
        }
    });
    // Outside the camera's lock: the host takes its own.
    if (restart) device.host.restart_later(device.index, kRestartDelayMs);
    return Answer{result, {}};
}
