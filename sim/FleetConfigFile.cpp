#include "sim/FleetConfigFile.h"

#include "discovery/DiscoveryRecords.h"
#include "sim/FleetGenerator.h"
#include "sim/Ipv4.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
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

void check_keys(const json& object, const Place& place, std::initializer_list<const char*> known) {
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

CameraConfig read_camera(const json& object, const Place& place, const DiscoveryFaults& fleet_faults) {
    check_keys(object, place, {"mac_address", "ip_address", "subnet_mask", "gateway", "cmd_port", "media_port", "http_port",
                               "phone_port", "ipc_type", "board_type", "device_type", "software_ver", "faults"});
    for (const char* required : {"mac_address", "ip_address"})
        if (!object.contains(required)) place.at(required).fail("missing; every camera needs one");
    CameraConfig camera;
    camera.faults = fleet_faults;
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

FleetSpec parse_fleet_spec(std::string_view json_text, const std::string& origin) {
    json document;
    try {
        document = json::parse(json_text);
    } catch (const json::parse_error& e) {
        throw ConfigError(origin + ": not valid JSON: " + without_tag(e.what()));
    }
    const Place top{origin, ""};
    check_keys(document, top, {"reply", "device_port", "tool_port", "broadcast_address", "reply_spread_ms", "count", "demo_mix",
                               "faults", "cameras"});
    FleetSpec spec;
    FleetConfig& fleet = spec.fleet;
    // Fleet-wide faults first: every camera starts from them.
    if (document.contains("faults")) spec.generated_faults = read_faults(document["faults"], top.at("faults"), {});
    for (const auto& item : document.items()) {
        const std::string& key = item.key();
        const json& value = item.value();
        const Place here = top.at(key);
        if (key == "reply") fleet.reply_mode = read_reply_mode(value, here);
        else if (key == "device_port") fleet.device_port = read_number<uint16_t>(value, here, 1);
        else if (key == "tool_port") fleet.tool_port = read_number<uint16_t>(value, here, 1);
        else if (key == "broadcast_address") fleet.broadcast_address = read_address(value, here);
        else if (key == "reply_spread_ms") fleet.reply_spread_ms = read_number<int>(value, here, 0, kMaxDelayMs);
        else if (key == "count") spec.generate = read_number<size_t>(value, here, 0, static_cast<int64_t>(max_generated_cameras()));
        else if (key == "demo_mix") spec.demo_mix = read_bool(value, here);
    }
    if (document.contains("cameras")) {
        const json& list = document["cameras"];
        const Place here = top.at("cameras");
        if (!list.is_array()) here.fail("expected a list of cameras, got " + shown(list));
        std::unordered_map<std::string, size_t> seen;
        for (size_t i = 0; i < list.size(); ++i) {
            CameraConfig camera = read_camera(list[i], here.at(i), spec.generated_faults);
            auto [previous, fresh] = seen.emplace(camera.mac_address, i);
            if (!fresh)
                here.at(i).at("mac_address").fail("\"" + camera.mac_address + "\" already belongs to cameras[" + std::to_string(previous->second) + "]");
            fleet.cameras.push_back(std::move(camera));
        }
    }
    return spec;
}

FleetSpec load_fleet_spec(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ConfigError(path + ": cannot read: " + std::strerror(errno));
    std::ostringstream text;
    text << file.rdbuf();
    return parse_fleet_spec(text.str(), path);
}

FleetConfig build_fleet(const FleetSpec& spec) {
    FleetConfig fleet = spec.fleet;
    std::vector<CameraConfig> generated;
    try {
        generated = generate_cameras(spec.generate, fleet.cameras);
    } catch (const std::length_error& e) {
        throw ConfigError(e.what());
    }
    for (CameraConfig& camera : generated) camera.faults = spec.generated_faults;
    if (spec.demo_mix) apply_demo_mix(generated);
    fleet.cameras.insert(fleet.cameras.end(), generated.begin(), generated.end());
    if (fleet.cameras.empty()) throw ConfigError("the fleet has no cameras: give --count or list cameras in a configuration file");
    return fleet;
}
