#include "sim/DeviceRecordJson.h"

#include "devsdk/protocol/FirmwareHeader.h"
#include "sim/onvif/OnvifConfigJson.h"

#include <cstdio>
#include <fstream>

using json = nlohmann::json;

namespace {

std::string hex(const uint8_t* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0xF];
    }
    return text;
}

int32_t word_at(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

template <class T, class F>
json list(const std::deque<T>& items, F&& each) {
    json out = json::array();
    for (const T& item : items) out.push_back(each(item));
    return out;
}

json record_json(const DeviceRecord& r) {
    json out;
    out["requests"] = r.requests;
    out["commands"] = list(r.commands, [](const auto& c) { return json{{"request", c.request}, {"command", c.command}, {"result", c.result}}; });
    out["logins_accepted"] = r.logins_accepted;
    out["logins_refused"] = r.logins_refused;
    out["logins"] = list(r.logins, [](const auto& l) { return json{{"user", l.user}, {"result", l.result}}; });
    out["settings_records"] = list(r.settings_records, [](const auto& bytes) { return hex(bytes.data(), bytes.size()); });
    out["clock_writes"] = list(r.clock_writes, [](const auto& raw) {
        const uint8_t* p = raw.data();
        return json{{"year", word_at(p + 48)}, {"month", word_at(p + 52)}, {"day", word_at(p + 56)}, {"hour", word_at(p + 60)},
                    {"minute", word_at(p + 64)}, {"second", word_at(p + 68)}, {"bytes", hex(p, raw.size())}};
    });
    out["shell_commands"] = list(r.shell_commands, [](const auto& text) { return json(text); });
    ovix::ImageDigest digest;
    digest.update(r.logo.bytes);
    const ovix::Digest logo_digest = digest.finish();
    out["logo"] = {{"announced", r.logo.announced},     {"received", r.logo.bytes.size()},
                   {"chunks", r.logo.chunks},           {"finished", r.logo.finished},
                   {"finish_result", r.logo.finish_result}, {"blake2b", hex(logo_digest.data(), logo_digest.size())}};
    out["logo_uploads"] = r.logo_uploads;
    out["controls"] = list(r.controls, [](const auto& c) {
        return json{{"command", c.command}, {"channel", c.channel}, {"value1", c.value1}, {"value2", c.value2}};
    });
    out["ldr"] = list(r.ldr, [](const auto& c) { return json{{"code", c.code}, {"value", c.value}}; });
    out["ircut"] = list(r.ircut, [](int32_t v) { return json(v); });
    out["ptz"] = list(r.ptz, [](const auto& p) {
        return json{{"channel", p.channel}, {"action", p.action}, {"direction", p.direction}, {"speed", p.speed}};
    });
    out["voice"] = list(r.voice, [](int32_t v) { return json(v); });
    out["live"] = list(r.live, [](const auto& l) { return json{{"stream", l.stream_id}, {"command", l.command}, {"values", l.values}}; });
    out["upgrades"] = list(r.upgrades, [](const auto& u) {
        return json{{"version", u.version}, {"start_result", u.start_result}, {"image_bytes", u.image_bytes}, {"outcome", u.outcome}};
    });
    out["reboots"] = r.reboots;
    out["factory_resets"] = r.factory_resets;
    out["password_resets"] = r.password_resets;
    out["onvif_requests"] = r.onvif_requests;
    out["onvif"] = list(r.onvif_calls, [](const auto& c) {
        return json{{"operation", c.operation}, {"detail", c.detail}, {"http_status", c.http_status}};
    });
    return out;
}

} // namespace

json camera_record_json(const SimCamera& camera) {
    const CameraConfig current = camera.current();
    const DeviceState state = camera.device_state();
    const DeviceSide device = effective_device(current);
    json settings = {{"time_zone", device.settings.time_zone},       {"time_format", device.settings.time_format},
                     {"language", device.settings.language},         {"video_standard", device.settings.video_standard},
                     {"wifi_ch_max", device.settings.wifi_ch_max},   {"wifi_ch_default", device.settings.wifi_ch_default},
                     {"dhcp_enable", device.settings.dhcp ? 1 : 0}};
    json ldr = json::object();
    for (const auto& [code, value] : state.ldr) ldr[std::to_string(code)] = value;
    return json{{"mac_address", current.mac_address},
                {"ip_address", current.ip_address},
                {"cmd_port", current.cmd_port},
                {"http_port", current.http_port},
                {"protocols", protocols_name(current.device.onvif.protocols)},
                {"software_ver", current.software_ver},
                {"online", state.online},
                {"active_logins", state.active_logins},
                {"cloud_uid", device.cloud_uid},
                {"admin_password", device.users.empty() ? "" : device.users.front().password},
                {"settings", settings},
                {"lamps", {{"white", state.white_lamp}, {"infrared", state.infrared_lamp}, {"ircut", state.ircut}}},
                {"microphone_open", state.microphone_open},
                {"ldr", ldr},
                {"received", record_json(camera.device_record())}};
}

json fleet_record_json(const std::vector<SimCamera*>& cameras) {
    json list = json::array();
    for (const SimCamera* camera : cameras) list.push_back(camera_record_json(*camera));
    return json{{"cameras", list}};
}

bool write_fleet_record(const std::vector<SimCamera*>& cameras, const std::string& path) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) return false;
        file << fleet_record_json(cameras).dump(2) << '\n';
        if (!file.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}
