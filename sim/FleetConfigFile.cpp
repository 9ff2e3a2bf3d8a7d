#include "sim/FleetConfigFile.h"

#include "discovery/DiscoveryRecords.h"
#include "sim/FleetGenerator.h"
#include "sim/Ipv4.h"
#include "sim/onvif/OnvifConfigJson.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <unordered_map>

namespace {

using json = nlohmann::json;

constexpr int64_t kMaxDelayMs = 600000;
constexpr int64_t kMaxDuplicates = 100;
constexpr size_t kMaxText = kDiscoveryTextSize - 1;

// Where in the file a value stands, for messages: "cameras[2].faults.silent".
struct Place {
    const std::string& origin;
    std::string path;

    Place at(const std::string& key) const { return Place{origin, path.empty() ? key : path + "." + key}; }
    Place at(size_t index) const { return Place{origin, path + "[" + std::to_string(index) + "]"}; }

    [[noreturn]] void fail(const std::string& what) const {
        throw ConfigError(origin + ": " + (path.empty() ? "" : path + ": ") + what);
    }
};

std::string shown(const json& value) {
    std::string text = value.dump();
    return text.size() > 40 ? text.substr(0, 37) + "..." : text;
}

void check_keys(const json& object, const Place& place, const std::vector<const char*>& known) {
    if (!object.is_object()) place.fail("expected an object, got " + shown(object));
    for (const auto& item : object.items()) {
        bool found = false;
        for (const char* key : known) found = found || item.key() == key;
        if (found) continue;
        std::string list;
        for (const char* key : known) list += (list.empty() ? "" : ", ") + std::string(key);
        place.at(item.key()).fail("unknown setting (known here: " + list + ")");
    }
}

int64_t read_integer(const json& value, const Place& place, int64_t min, int64_t max) {
    const std::string range = "expected an integer from " + std::to_string(min) + " to " + std::to_string(max);
    if (!value.is_number_integer()) place.fail(range + ", got " + shown(value));
    if (value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(max)) place.fail(range + ", got " + shown(value));
    const int64_t number = value.get<int64_t>();
    if (number < min || number > max) place.fail(range + ", got " + shown(value));
    return number;
}

template <class T>
T read_number(const json& value, const Place& place, int64_t min = std::numeric_limits<T>::min(), int64_t max = std::numeric_limits<T>::max()) {
    return static_cast<T>(read_integer(value, place, min, max));
}

// Type codes are often written in hexadecimal, so "0x3516" is accepted as well as 13590.
int32_t read_code(const json& value, const Place& place) {
    if (!value.is_string()) return read_number<int32_t>(value, place);
    const std::string text = value.get<std::string>();
    errno = 0;
    char* end = nullptr;
    const long long number = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0 || number < std::numeric_limits<int32_t>::min() ||
        number > std::numeric_limits<int32_t>::max())
        place.fail("expected a 32-bit integer or a text such as \"0x3516\", got " + shown(value));
    return static_cast<int32_t>(number);
}

bool read_bool(const json& value, const Place& place) {
    if (!value.is_boolean()) place.fail("expected true or false, got " + shown(value));
    return value.get<bool>();
}

std::string read_text(const json& value, const Place& place) {
    if (!value.is_string()) place.fail("expected a text, got " + shown(value));
    std::string text = value.get<std::string>();
    if (text.size() > kMaxText) place.fail("at most " + std::to_string(kMaxText) + " characters fit a discovery record, got " + shown(value));
    return text;
}

std::string read_address(const json& value, const Place& place) {
    if (!value.is_string() || !parse_ipv4(value.get<std::string>())) place.fail("expected a dotted IPv4 address, got " + shown(value));
    return value.get<std::string>();
}

DiscoveryFaults read_faults(const json& object, const Place& place, DiscoveryFaults faults) {
    check_keys(object, place, {"duplicate_replies", "reply_delay_ms", "malformed_reply", "truncated_reply", "empty_version",
                               "zero_device_type", "silent"});
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        const Place here = place.at(key);
        if (key == "duplicate_replies") faults.duplicate_replies = read_number<int>(item.value(), here, 0, kMaxDuplicates);
        else if (key == "reply_delay_ms") faults.reply_delay_ms = read_number<int>(item.value(), here, 0, kMaxDelayMs);
        else if (key == "malformed_reply") faults.malformed_reply = read_bool(item.value(), here);
        else if (key == "truncated_reply") faults.truncated_reply = read_bool(item.value(), here);
        else if (key == "empty_version") faults.empty_version = read_bool(item.value(), here);
        else if (key == "zero_device_type") faults.zero_device_type = read_bool(item.value(), here);
        else if (key == "silent") faults.silent = read_bool(item.value(), here);
    }
    return faults;
}

std::string read_text_up_to(const json& value, const Place& place, size_t max) {
    if (!value.is_string()) place.fail("expected a text, got " + shown(value));
    std::string text = value.get<std::string>();
    if (text.size() > max) place.fail("at most " + std::to_string(max) + " characters fit, got " + shown(value));
    return text;
}

double read_fraction(const json& value, const Place& place) {
    if (!value.is_number() || value.get<double>() < 0 || value.get<double>() > 1) place.fail("expected a number from 0 to 1, got " + shown(value));
    return value.get<double>();
}

// A bit that may be written as true/false or 1/0.
bool read_flag(const json& value, const Place& place) {
    if (value.is_number_integer() && (value == 0 || value == 1)) return value == 1;
    return read_bool(value, place);
}

const char* const kRequestNames[] = {"any", "login", "ping", "get_config", "set_config", "device_control", "ldr_control",
                                     "ircut_control", "ptz_control", "play_voice", "get_capability", "upgrade_start",
                                     "live_start", "live_stop", "live_control"};

SdkFaultRule read_answer_rule(const json& object, const Place& place) {
    check_keys(object, place, {"request", "command", "result", "nth", "count", "probability"});
    SdkFaultRule rule;
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        const Place here = place.at(key);
        if (key == "request") {
            rule.request = read_text(item.value(), here);
            bool known = false;
            std::string names;
            for (const char* name : kRequestNames) {
                known = known || rule.request == name;
                names += (names.empty() ? "" : ", ") + std::string(name);
            }
            if (!known) here.fail("expected one of " + names + ", got " + shown(item.value()));
        } else if (key == "command") rule.command = read_number<int32_t>(item.value(), here, -1);
        else if (key == "result") rule.result = read_number<int32_t>(item.value(), here, 1, 127);
        else if (key == "nth") rule.nth = read_number<uint32_t>(item.value(), here, 0, 1000000000);
        else if (key == "count") rule.count = read_number<uint32_t>(item.value(), here, 1, 1000000000);
        else if (key == "probability") rule.probability = read_fraction(item.value(), here);
    }
    // A login refused with anything else would only look like a network error.
    if (rule.request == "login" && rule.result != 12 && rule.result != 13 && rule.result != 15 && rule.result != 16 && rule.result != 17)
        place.at("result").fail("a login is refused with 12, 13, 15, 16 or 17, got " + std::to_string(rule.result));
    return rule;
}

SdkFaults read_sdk_faults(const json& object, const Place& place, SdkFaults faults) {
    check_keys(object, place, {"answers", "upgrade_stall_percent", "upgrade_drop_percent", "upgrade_fail_percent",
                               "upgrade_fail_result", "reboot_never_returns", "upgrade_install_fails",
                               "link_bytes_per_second", "seed"});
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        const json& value = item.value();
        const Place here = place.at(key);
        if (key == "answers") {
            if (!value.is_array()) here.fail("expected a list of answer rules, got " + shown(value));
            faults.answers.clear();
            for (size_t i = 0; i < value.size(); ++i) faults.answers.push_back(read_answer_rule(value[i], here.at(i)));
        } else if (key == "upgrade_stall_percent") faults.upgrade_stall_percent = read_number<int>(value, here, -1, 100);
        else if (key == "upgrade_drop_percent") faults.upgrade_drop_percent = read_number<int>(value, here, -1, 100);
        else if (key == "upgrade_fail_percent") faults.upgrade_fail_percent = read_number<int>(value, here, -1, 100);
        else if (key == "upgrade_fail_result") faults.upgrade_fail_result = read_number<int32_t>(value, here, 1, 127);
        else if (key == "reboot_never_returns") faults.reboot_never_returns = read_bool(value, here);
        else if (key == "upgrade_install_fails") faults.upgrade_install_fails = read_bool(value, here);
        else if (key == "link_bytes_per_second") {
            faults.link_bytes_per_second = read_number<int64_t>(value, here, 0, 1000000000);
            // Slower than this, one upgrade chunk would outlast the client's patience.
            if (faults.link_bytes_per_second > 0 && faults.link_bytes_per_second < 4096) here.fail("expected 0 (no limit) or at least 4096, got " + shown(value));
        } else if (key == "seed") faults.seed = read_number<uint64_t>(value, here, 0, std::numeric_limits<int64_t>::max());
    }
    return faults;
}

std::vector<CameraUser> read_users(const json& object, const Place& place) {
    if (!object.is_object() || object.empty()) place.fail("expected an object of user names and passwords, got " + shown(object));
    std::vector<CameraUser> users;
    for (const auto& item : object.items()) {
        const Place here = place.at(item.key());
        if (item.key().empty() || item.key().size() > 31) here.fail("a user name has 1 to 31 characters");
        users.push_back(CameraUser{item.key(), read_text_up_to(item.value(), here, 31)});
    }
    // The account the settings record's password changes comes first.
    std::stable_partition(users.begin(), users.end(), [](const CameraUser& u) { return u.name == "Admin"; });
    return users;
}

TfCard read_tf_card(const json& object, const Place& place) {
    check_keys(object, place, {"present", "total_mb", "free_mb", "description"});
    TfCard card;
    for (const auto& item : object.items()) {
        const Place here = place.at(item.key());
        if (item.key() == "present") card.present = read_bool(item.value(), here);
        else if (item.key() == "total_mb") card.total_mb = read_number<int32_t>(item.value(), here, 0);
        else if (item.key() == "free_mb") card.free_mb = read_number<int32_t>(item.value(), here, 0);
        else if (item.key() == "description") card.description = read_text_up_to(item.value(), here, 127);
    }
    return card;
}

CameraCapability read_capability(const json& object, const Place& place, CameraCapability c) {
    check_keys(object, place, {"microphone", "speaker", "ircut", "tf_slot", "ptz", "lamp_type", "digital_zoom", "lamp_board"});
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        const Place here = place.at(key);
        if (key == "lamp_type") c.lamp_type = read_number<int8_t>(item.value(), here);
        else {
            const auto byte = read_number<uint8_t>(item.value(), here);
            if (key == "microphone") c.microphone = byte;
            else if (key == "speaker") c.speaker = byte;
            else if (key == "ircut") c.ircut = byte;
            else if (key == "tf_slot") c.tf_slot = byte;
            else if (key == "ptz") c.ptz = byte;
            else if (key == "digital_zoom") c.digital_zoom = byte;
            else if (key == "lamp_board") c.lamp_board = byte;
        }
    }
    return c;
}

CameraSettings read_settings(const json& object, const Place& place, CameraSettings s) {
    check_keys(object, place, {"time_zone", "time_format", "language", "video_standard", "wifi_ch_max", "wifi_ch_default", "dhcp_enable"});
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        const Place here = place.at(key);
        if (key == "time_zone") s.time_zone = read_number<int32_t>(item.value(), here, -43200, 50400);
        else if (key == "time_format") s.time_format = read_number<int32_t>(item.value(), here, 0, 3);
        else if (key == "language") s.language = read_number<int32_t>(item.value(), here, 0, 20);
        else if (key == "video_standard") {
            s.video_standard = read_number<int32_t>(item.value(), here, 1, 5);
            if (s.video_standard != 1 && s.video_standard != 2 && s.video_standard != 5) here.fail("expected 1 (NTSC), 2 (PAL) or 5");
        } else if (key == "wifi_ch_max") s.wifi_ch_max = read_number<int32_t>(item.value(), here, 1, 14);
        else if (key == "wifi_ch_default") s.wifi_ch_default = read_number<int32_t>(item.value(), here, 0, 14);
        else if (key == "dhcp_enable") s.dhcp = read_flag(item.value(), here);
    }
    return s;
}

VersionPolicy read_version_policy(const json& value, const Place& place) {
    if (value == "any") return VersionPolicy::Any;
    if (value == "not_older") return VersionPolicy::NotOlder;
    if (value == "newer") return VersionPolicy::Newer;
    place.fail("expected \"any\", \"not_older\" or \"newer\", got " + shown(value));
}

// The device SDK keys, the same for a camera and, as every camera's default, for the fleet.
constexpr const char* kDeviceKeys[] = {
    "users", "admin_password", "user_limit", "board_name", "board_id", "hardware_version", "serial", "pid",
    "cloud_uid", "qr_text", "tf_card", "capability", "settings", "clock_profile", "frame_rate", "reboot_ms", "announce_after_reboot",
    "dhcp_address", "version_policy", "sdk_faults", "protocols", "onvif"};

void read_device_keys(const json& object, const Place& place, DeviceSide& device) {
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        const json& value = item.value();
        const Place here = place.at(key);
        if (key == "users") device.users = read_users(value, here);
        else if (key == "user_limit") device.user_limit = read_number<int>(value, here, 1, 100000);
        else if (key == "board_name") device.board_name = read_text_up_to(value, here, 31);
        else if (key == "board_id") device.board_id = static_cast<uint32_t>(read_code(value, here));
        else if (key == "hardware_version") device.hardware_version = read_text_up_to(value, here, 63);
        else if (key == "serial") device.serial = read_text_up_to(value, here, 63);
        else if (key == "pid") device.pid = read_text_up_to(value, here, 63);
        else if (key == "cloud_uid") device.cloud_uid = read_text_up_to(value, here, 63);
        else if (key == "qr_text") device.qr_text = read_text_up_to(value, here, 127);
        else if (key == "tf_card") device.tf_card = read_tf_card(value, here);
        else if (key == "capability") device.capability = read_capability(value, here, device.capability);
        else if (key == "settings") device.settings = read_settings(value, here, device.settings);
        else if (key == "clock_profile") device.clock_profile = read_number<int32_t>(value, here);
        else if (key == "frame_rate") device.frame_rate = read_number<int32_t>(value, here, 1, kMaxFrameRate);
        else if (key == "reboot_ms") device.reboot_ms = read_number<int>(value, here, 0, static_cast<int>(kMaxDelayMs));
        else if (key == "announce_after_reboot") device.announce_after_reboot = read_bool(value, here);
        else if (key == "dhcp_address") device.dhcp_address = read_address(value, here);
        else if (key == "version_policy") device.version_policy = read_version_policy(value, here);
        else if (key == "sdk_faults") device.faults = read_sdk_faults(value, here, device.faults);
        else if (key == "protocols") device.onvif.protocols = read_protocols(value, here.origin + ": " + here.path);
        else if (key == "onvif") read_onvif_side(value, here.origin + ": " + here.path, device.onvif);
    }
    // After "users", whatever the order of the keys: it sets the first account's password.
    if (object.contains("admin_password")) {
        const std::string password = read_text_up_to(object["admin_password"], place.at("admin_password"), 31);
        if (device.users.empty()) device.users.push_back(CameraUser{"Admin", password});
        else device.users.front().password = password;
    }
}

std::vector<const char*> with_device_keys(std::initializer_list<const char*> keys) {
    std::vector<const char*> all(keys);
    all.insert(all.end(), std::begin(kDeviceKeys), std::end(kDeviceKeys));
    return all;
}

CameraConfig read_camera(const json& object, const Place& place, const DiscoveryFaults& fleet_faults, const DeviceSide& fleet_device) {
    check_keys(object, place, with_device_keys({"mac_address", "ip_address", "subnet_mask", "gateway", "cmd_port", "media_port",
                                                "http_port", "phone_port", "ipc_type", "board_type", "device_type",
                                                "software_ver", "faults"}));
    for (const char* required : {"mac_address", "ip_address"})
        if (!object.contains(required)) place.at(required).fail("missing; every camera needs one");
    CameraConfig camera;
    camera.faults = fleet_faults;
    camera.device = fleet_device;
    read_device_keys(object, place, camera.device);
    for (const auto& item : object.items()) {
        const std::string& key = item.key();
        const json& value = item.value();
        const Place here = place.at(key);
        if (key == "mac_address") {
            camera.mac_address = read_text(value, here);
            if (camera.mac_address.empty()) here.fail("must not be empty");
        } else if (key == "ip_address") camera.ip_address = read_address(value, here);
        else if (key == "subnet_mask") camera.subnet_mask = read_address(value, here);
        else if (key == "gateway") camera.gateway = read_address(value, here);
        else if (key == "cmd_port") camera.cmd_port = read_number<uint16_t>(value, here);
        else if (key == "media_port") camera.media_port = read_number<uint16_t>(value, here);
        else if (key == "http_port") camera.http_port = read_number<uint16_t>(value, here);
        else if (key == "phone_port") camera.phone_port = read_number<uint16_t>(value, here);
        else if (key == "ipc_type") camera.ipc_type = read_code(value, here);
        else if (key == "board_type") camera.board_type = read_code(value, here);
        else if (key == "device_type") camera.device_type = read_code(value, here);
        else if (key == "software_ver") camera.software_ver = read_text(value, here);
        else if (key == "faults") camera.faults = read_faults(value, here, fleet_faults);
    }
    return camera;
}

ReplyMode read_reply_mode(const json& value, const Place& place) {
    if (value == "unicast") return ReplyMode::Unicast;
    if (value == "broadcast") return ReplyMode::Broadcast;
    place.fail("expected \"unicast\" or \"broadcast\", got " + shown(value));
}

// nlohmann's messages start with an internal tag such as "[json.exception.parse_error.101] ".
std::string without_tag(const char* message) {
    std::string text = message;
    const size_t end = text.find("] ");
    return text.rfind("[json.exception", 0) == 0 && end != std::string::npos ? text.substr(end + 2) : text;
}

} // namespace

FleetPlan parse_fleet_plan(std::string_view json_text, const std::string& origin) {
    json document;
    try {
        document = json::parse(json_text);
    } catch (const json::exception& e) {  // syntax, and numbers too large for any type
        throw ConfigError(origin + ": not valid JSON: " + without_tag(e.what()));
    }
    const Place top{origin, ""};
    check_keys(document, top, with_device_keys({"reply", "device_port", "tool_port", "broadcast_address", "reply_spread_ms",
                                                "count", "demo_mix", "faults", "cameras", "dhcp_pool_start", "max_connections"}));
    FleetPlan plan;
    FleetConfig& fleet = plan.fleet;
    // Fleet-wide faults first: every camera starts from them.
    if (document.contains("faults")) plan.generated_faults = read_faults(document["faults"], top.at("faults"), {});
    read_device_keys(document, top, plan.device_defaults);
    for (const auto& item : document.items()) {
        const std::string& key = item.key();
        const json& value = item.value();
        const Place here = top.at(key);
        if (key == "reply") fleet.reply_mode = read_reply_mode(value, here);
        else if (key == "device_port") fleet.device_port = read_number<uint16_t>(value, here, 1);
        else if (key == "tool_port") fleet.tool_port = read_number<uint16_t>(value, here, 1);
        else if (key == "broadcast_address") fleet.broadcast_address = read_address(value, here);
        else if (key == "reply_spread_ms") fleet.reply_spread_ms = read_number<int>(value, here, 0, kMaxDelayMs);
        else if (key == "count") plan.generate = read_number<size_t>(value, here, 0, static_cast<int64_t>(max_generated_cameras()));
        else if (key == "demo_mix") plan.demo_mix = read_bool(value, here);
        else if (key == "dhcp_pool_start") fleet.dhcp_pool_start = read_address(value, here);
        else if (key == "max_connections") fleet.max_connections = read_number<int>(value, here, 1, 100000);
    }
    if (document.contains("cameras")) {
        const json& list = document["cameras"];
        const Place here = top.at("cameras");
        if (!list.is_array()) here.fail("expected a list of cameras, got " + shown(list));
        std::unordered_map<std::string, size_t> seen;
        for (size_t i = 0; i < list.size(); ++i) {
            CameraConfig camera = read_camera(list[i], here.at(i), plan.generated_faults, plan.device_defaults);
            auto [previous, fresh] = seen.emplace(camera.mac_address, i);
            if (!fresh)
                here.at(i).at("mac_address").fail("\"" + camera.mac_address + "\" already belongs to cameras[" + std::to_string(previous->second) + "]");
            fleet.cameras.push_back(std::move(camera));
        }
    }
    return plan;
}

FleetPlan load_fleet_plan(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ConfigError(path + ": cannot read: " + std::strerror(errno));
    std::ostringstream text;
    text << file.rdbuf();
    return parse_fleet_plan(text.str(), path);
}

FleetConfig build_fleet(const FleetPlan& plan) {
    FleetConfig fleet = plan.fleet;
    std::vector<CameraConfig> generated;
    try {
        generated = generate_cameras(plan.generate, fleet.cameras);
    } catch (const std::length_error& e) {
        throw ConfigError(e.what());
    }
    for (CameraConfig& camera : generated) {
        camera.faults = plan.generated_faults;
        camera.device = plan.device_defaults;
    }
    if (plan.demo_mix) apply_demo_mix(generated);
    if (plan.fault_mix) apply_fault_mix(generated, *plan.fault_mix);
    fleet.cameras.insert(fleet.cameras.end(), generated.begin(), generated.end());
    if (fleet.cameras.empty()) throw ConfigError("the fleet has no cameras: give --count or list cameras in a configuration file");
    return fleet;
}
