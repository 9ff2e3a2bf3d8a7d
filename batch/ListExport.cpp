#include "batch/ListExport.h"

#include "batch/CsvText.h"
#include "batch/JsonText.h"
#include "batch/StatusMarks.h"

#include <nlohmann/json.hpp>

namespace {

std::string shown(const std::string& cell) { return cell == kMarkBlank ? std::string() : cell; }

// A list of our own cameras only is written as it always was; one with ONVIF cameras adds the
// protocol and model after the job's columns.
int exported_columns(const std::vector<DeviceRow>& rows) {
    for (const DeviceRow& row : rows)
        if (row.protocol != CameraProtocol::own) return kListColumns;
    return kDeviceColumns;
}

std::string to_csv(const std::vector<DeviceRow>& rows, const std::vector<std::string>& headers) {
    const int columns = exported_columns(rows);
    std::vector<std::string> header;
    for (int column = 0; column < columns; ++column)
        header.push_back(column < static_cast<int>(headers.size()) ? headers[column] : std::string());
    header.push_back("checked");
    std::vector<std::vector<std::string>> cells;
    for (const DeviceRow& row : rows) {
        std::vector<std::string>& line = cells.emplace_back();
        for (int column = 0; column < columns; ++column) line.push_back(shown(row.cell(column)));
        line.push_back(row.checked ? "1" : "0");
    }
    return csv_document(header, cells, true);
}

std::string to_json(const std::vector<DeviceRow>& rows) {
    const bool onvif = exported_columns(rows) > kDeviceColumns;
    auto array = nlohmann::ordered_json::array();
    for (const DeviceRow& row : rows) {
        auto marks = nlohmann::ordered_json::object();
        for (size_t i = 0; i < kStepNames.size(); ++i) marks[kStepNames[i]] = step_word(row.marks[i]);
        array.push_back({{"index", row.index},
                         {"mac", row.mac},
                         {"ip", row.ip},
                         {"port", row.port},
                         {"version", row.version},
                         {"board", row.bid},
                         {"marks", marks},
                         {"message", shown(row.message)},
                         {"checked", row.checked},
                         {"family1", row.is_type1}});
        if (onvif) {
            array.back()["protocol"] = protocol_name(row.protocol);
            array.back()["model"] = row.model;
            array.back()["uuid"] = row.uuid;
        }
    }
    return json_document(array);
}

} // namespace

std::string export_device_list(const std::vector<DeviceRow>& rows, const std::vector<std::string>& headers,
                               ListExportFormat format) {
    return format == ListExportFormat::Json ? to_json(rows) : to_csv(rows, headers);
}
