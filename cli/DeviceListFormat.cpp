#include "cli/DeviceListFormat.h"

#include "batch/CsvText.h"
#include "batch/JsonText.h"
#include "cli/TextTable.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
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

std::string to_json(const std::vector<DEV_INFO>& devices) {
    auto array = nlohmann::ordered_json::array();
    for (const auto& d : devices) {
        array.push_back({{"mac", text(d.mac_address)},
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
                         {"software_ver", text(d.software_ver)}});
    }
    // Keys stay in the documented column order.
    return json_document(array);
}

std::string to_csv(const std::vector<DEV_INFO>& devices) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& d : devices) {
        const auto row = cells(d, false);
        rows.emplace_back(row.begin(), row.end());
    }
    return csv_document({kColumns.begin(), kColumns.end()}, rows, false);
}

std::string to_table(const std::vector<DEV_INFO>& devices) {
    std::vector<std::vector<std::string>> rows{{kColumns.begin(), kColumns.end()}};
    for (const auto& d : devices) {
        const auto row = cells(d, true);
        rows.emplace_back(row.begin(), row.end());
    }
    return format_text_table(rows) + std::to_string(devices.size()) + (devices.size() == 1 ? " device\n" : " devices\n");
}

} // namespace

std::string format_device_list(const std::vector<DEV_INFO>& devices, DeviceListFormat format) {
    switch (format) {
    case DeviceListFormat::Json: return to_json(devices);
    case DeviceListFormat::Csv: return to_csv(devices);
    case DeviceListFormat::Table: break;
    }
    return to_table(devices);
}
