#include "cli/DeviceListFormat.h"

#include "batch/CsvText.h"
#include "batch/JsonText.h"
#include "cli/TextTable.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

// A record's texts are NUL-terminated within their arrays; never read past them.
std::string text(const char (&field)[kDiscoveryTextSize]) {
    return std::string(field, strnlen(field, kDiscoveryTextSize));
}

std::string hex(int32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(value));
    return buf;
}

constexpr std::array<const char*, 12> kColumns = {
    "mac", "ip", "cmd_port", "media_port", "http_port", "phone_port",
    "ipc_type", "board_type", "device_type", "subnet_mask", "gateway", "software_ver"};

// One row of cells in column order; board_type in hexadecimal as the windows show it when
// asked for human-readable text.
std::array<std::string, 12> cells(const DEV_INFO& d, bool board_hex) {
    return {text(d.mac_address), text(d.ip_address), std::to_string(d.cmd_port),
            std::to_string(d.media_port), std::to_string(d.http_port), std::to_string(d.phone_port),
            std::to_string(d.ipc_type), board_hex ? hex(d.board_type) : std::to_string(d.board_type),
            std::to_string(d.device_type), text(d.subnet_mask), text(d.gateway), text(d.software_ver)};
}

// Keys stay in the documented column order.
nlohmann::ordered_json json_object(const DEV_INFO& d) {
    return {{"mac", text(d.mac_address)},
            {"ip", text(d.ip_address)},
            {"cmd_port", d.cmd_port},
            {"media_port", d.media_port},
            {"http_port", d.http_port},
            {"phone_port", d.phone_port},
            {"ipc_type", d.ipc_type},
            {"board_type", d.board_type},
            {"device_type", d.device_type},
            {"subnet_mask", text(d.subnet_mask)},
            {"gateway", text(d.gateway)},
            {"software_ver", text(d.software_ver)}};
}

// A camera found by ONVIF alone has only these of our discovery's fields.
DEV_INFO onvif_only_record(const CameraRow& row) {
    DEV_INFO d{};
    std::strncpy(d.mac_address, row.mac.c_str(), kDiscoveryTextSize - 1);
    std::strncpy(d.ip_address, row.address.c_str(), kDiscoveryTextSize - 1);
    std::strncpy(d.software_ver, row.firmware_version.c_str(), kDiscoveryTextSize - 1);
    return d;
}

constexpr std::array<const char*, 5> kCameraColumns = {"protocol", "uuid", "model", "manufacturer", "xaddr"};

std::array<std::string, 5> camera_cells(const CameraRow& row) {
    return {protocol_name(row.protocol), row.uuid, row.model, row.manufacturer, row.xaddr};
}

// Our discovery's cells, blank but for MAC, address and version when it did not find the camera.
std::vector<std::string> all_cells(const CameraRow& row, bool board_hex) {
    const auto own = cells(row.own ? *row.own : onvif_only_record(row), board_hex);
    std::vector<std::string> out(own.begin(), own.end());
    if (!row.own) {
        for (size_t i = 2; i + 1 < out.size(); ++i) out[i].clear();
        out.back() = row.firmware_version;
    }
    return out;
}

std::string cameras_to_json(const std::vector<CameraRow>& rows) {
    auto array = nlohmann::ordered_json::array();
    for (const CameraRow& row : rows) {
        nlohmann::ordered_json object = json_object(row.own ? *row.own : onvif_only_record(row));
        if (!row.own) {
            for (const char* key : {"cmd_port", "media_port", "http_port", "phone_port", "ipc_type", "board_type",
                                    "device_type", "subnet_mask", "gateway"})
                object[key] = nullptr;
            object["software_ver"] = row.firmware_version;
        }
        const auto extra = camera_cells(row);
        for (size_t i = 0; i < extra.size(); ++i) object[kCameraColumns[i]] = extra[i];
        array.push_back(std::move(object));
    }
    return json_document(array);
}

std::string cameras_to_csv(const std::vector<CameraRow>& rows) {
    std::vector<std::string> header(kColumns.begin(), kColumns.end());
    header.insert(header.end(), kCameraColumns.begin(), kCameraColumns.end());
    std::vector<std::vector<std::string>> lines;
    for (const CameraRow& row : rows) {
        auto line = all_cells(row, false);
        const auto extra = camera_cells(row);
        line.insert(line.end(), extra.begin(), extra.end());
        lines.push_back(std::move(line));
    }
    return csv_document(header, lines, false);
}

std::string cameras_to_table(const std::vector<CameraRow>& rows) {
    std::vector<std::vector<std::string>> lines{{kColumns.begin(), kColumns.end()}};
    lines[0].insert(lines[0].end(), {"protocol", "model"});
    for (const CameraRow& row : rows) {
        auto line = all_cells(row, true);
        line.insert(line.end(), {protocol_name(row.protocol), row.model});
        lines.push_back(std::move(line));
    }
    return format_text_table(lines) + std::to_string(rows.size()) + (rows.size() == 1 ? " device\n" : " devices\n");
}

} // namespace

std::string format_camera_list(const std::vector<CameraRow>& cameras, DeviceListFormat format) {
    switch (format) {
    case DeviceListFormat::Json: return cameras_to_json(cameras);
    case DeviceListFormat::Csv: return cameras_to_csv(cameras);
    case DeviceListFormat::Table: break;
    }
    return cameras_to_table(cameras);
}
