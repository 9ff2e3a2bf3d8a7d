#include "sim/onvif/OnvifConfigJson.h"

#include "sim/FleetConfigFile.h"

#include <initializer_list>

namespace {

using json = nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& what, const json& value) {
    std::string text = value.dump();
    if (text.size() > 40) text = text.substr(0, 37) + "...";
    throw ConfigError(where + ": " + what + ", got " + text);
}

int read_int(const json& value, const std::string& where, int low, int high) {
    if (!value.is_number_integer() || value.get<int64_t>() < low || value.get<int64_t>() > high)
        fail(where, "expected an integer from " + std::to_string(low) + " to " + std::to_string(high), value);
    return value.get<int>();
}

bool read_bool(const json& value, const std::string& where) {
    if (!value.is_boolean()) fail(where, "expected true or false", value);
    return value.get<bool>();
}

std::string read_text(const json& value, const std::string& where, size_t max) {
    if (!value.is_string() || value.get<std::string>().size() > max) fail(where, "expected a text of at most " + std::to_string(max) + " characters", value);
    return value.get<std::string>();
}

void check_keys(const json& object, const std::string& where, std::initializer_list<const char*> known) {
    if (!object.is_object()) fail(where, "expected an object", object);
    for (const auto& item : object.items()) {
        bool found = false;
        std::string list;
        for (const char* key : known) {
            found = found || item.key() == key;
            list += (list.empty() ? "" : ", ") + std::string(key);
        }
        if (!found) throw ConfigError(where + "." + item.key() + ": unknown setting (known here: " + list + ")");
    }
}

void read_faults(const json& object, const std::string& where, OnvifFaults& f) {
    check_keys(object, where, {"busy_nth", "busy_count", "busy_probability", "upload_refuse_percent", "upload_abandon_percent",
                               "clock_offset_hours", "silent_to_multicast", "reboot_after_network"});
    for (const auto& item : object.items()) {
        const std::string here = where + "." + item.key();
        const json& v = item.value();
        if (item.key() == "busy_nth") f.busy_nth = static_cast<uint32_t>(read_int(v, here, 0, 1000000000));
        else if (item.key() == "busy_count") f.busy_count = static_cast<uint32_t>(read_int(v, here, 1, 1000000000));
        else if (item.key() == "busy_probability") {
            if (!v.is_number() || v.get<double>() < 0 || v.get<double>() > 1) fail(here, "expected a number from 0 to 1", v);
            f.busy_probability = v.get<double>();
        } else if (item.key() == "upload_refuse_percent") f.upload_refuse_percent = read_int(v, here, -1, 100);
        else if (item.key() == "upload_abandon_percent") f.upload_abandon_percent = read_int(v, here, -1, 100);
        else if (item.key() == "clock_offset_hours") f.clock_offset_hours = read_int(v, here, -8760, 8760);
        else if (item.key() == "silent_to_multicast") f.silent_to_multicast = read_bool(v, here);
        else if (item.key() == "reboot_after_network") f.reboot_after_network = read_bool(v, here);
    }
}

} // namespace

const char* protocols_name(CameraProtocols protocols) {
    switch (protocols) {
    case CameraProtocols::Own: return "own";
    case CameraProtocols::Onvif: return "onvif";
    case CameraProtocols::Both: return "both";
    }
    return "own";
}

CameraProtocols read_protocols(const json& value, const std::string& where) {
    for (CameraProtocols p : {CameraProtocols::Own, CameraProtocols::Onvif, CameraProtocols::Both})
        if (value.is_string() && value.get<std::string>() == protocols_name(p)) return p;
    fail(where, "expected \"own\", \"onvif\" or \"both\"", value);
}

void read_onvif_side(const json& object, const std::string& where, OnvifSide& side) {
    check_keys(object, where, {"endpoint", "manufacturer", "model", "name", "hardware", "location", "auth", "digest_algorithms",
                               "replay_check", "http_upload",
                               "upload_delay_s", "expected_down_time_s", "faults"});
    for (const auto& item : object.items()) {
        const std::string here = where + "." + item.key();
        const json& v = item.value();
        if (item.key() == "endpoint") {
            side.endpoint = read_text(v, here, 127);
            if (side.endpoint.rfind("urn:uuid:", 0) != 0) fail(here, "expected \"urn:uuid:...\"", v);
        } else if (item.key() == "manufacturer") side.manufacturer = read_text(v, here, 63);
        else if (item.key() == "model") side.model = read_text(v, here, 63);
        else if (item.key() == "name") side.name = read_text(v, here, 63);
        else if (item.key() == "hardware") side.hardware = read_text(v, here, 63);
        else if (item.key() == "location") side.location = read_text(v, here, 63);
        else if (item.key() == "auth") {
            const std::string mode = v.is_string() ? v.get<std::string>() : std::string();
            if (mode == "token") side.auth = OnvifAuth::Token;
            else if (mode == "digest") side.auth = OnvifAuth::Digest;
            else if (mode == "both") side.auth = OnvifAuth::Both;
            else fail(here, "expected \"token\", \"digest\" or \"both\"", v);
        } else if (item.key() == "replay_check") side.replay_check = read_bool(v, here);
        else if (item.key() == "http_upload") side.http_upload = read_bool(v, here);
        else if (item.key() == "digest_algorithms") {
            if (!v.is_array() || v.empty()) fail(here, "expected a list of \"MD5\" and \"SHA-256\"", v);
            side.digest_md5 = side.digest_sha256 = false;
            for (const json& name : v) {
                if (name == "MD5") side.digest_md5 = true;
                else if (name == "SHA-256") side.digest_sha256 = true;
                else fail(here, "expected \"MD5\" or \"SHA-256\"", name);
            }
        } else if (item.key() == "upload_delay_s") side.upload_delay_s = read_int(v, here, 0, 3600);
        else if (item.key() == "expected_down_time_s") side.expected_down_time_s = read_int(v, here, 0, 3600);
        else if (item.key() == "faults") read_faults(v, here, side.faults);
    }
}
