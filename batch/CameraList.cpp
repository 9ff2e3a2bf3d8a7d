#include "batch/CameraList.h"

#include "onvif/Scopes.h"

#include <cstring>

namespace {

std::string text(const char (&field)[kDiscoveryTextSize]) {
    return std::string(field, strnlen(field, kDiscoveryTextSize));
}

CameraRow own_row(const DEV_INFO& record) {
    CameraRow row;
    row.own = record;
    row.address = text(record.ip_address);
    // Our protocol writes MACs in the same spelling; one that is not a MAC stays as sent.
    row.mac = text(record.mac_address);
    row.firmware_version = text(record.software_ver);
    return row;
}

bool same_camera(const CameraRow& row, const onvif::OnvifCamera& camera, const std::string& address) {
    const std::string own_mac = onvif::normalized_mac(row.mac);
    if (!own_mac.empty() && !camera.mac.empty()) return own_mac == camera.mac;
    return !address.empty() && (row.address == address || row.address == camera.source_address);
}

void add_onvif(CameraRow& row, const onvif::OnvifCamera& camera) {
    row.uuid = camera.uuid;
    row.xaddr = onvif::first_http_xaddr(camera);
    row.model = camera.information.model;
    row.manufacturer = camera.information.manufacturer;
    if (row.mac.empty()) row.mac = camera.mac;
    if (row.firmware_version.empty()) {
        row.firmware_version = camera.reading == onvif::Reading::ok ? camera.information.firmware_version
                                                                     : missing_version_text(camera.reading);
    }
}

} // namespace

const char* protocol_name(CameraProtocol protocol) {
    switch (protocol) {
    case CameraProtocol::own: return "own";
    case CameraProtocol::onvif: return "onvif";
    case CameraProtocol::both: return "both";
    }
    return "?";
}

std::string missing_version_text(onvif::Reading reading) {
    switch (reading) {
    case onvif::Reading::ok: return {};
    case onvif::Reading::no_credentials: return "(log in)";
    case onvif::Reading::refused: return "(login refused)";
    case onvif::Reading::unreachable: return "(no answer)";
    case onvif::Reading::not_tried:
    case onvif::Reading::failed: break;
    }
    return "(not read)";
}

std::vector<CameraRow> merge_cameras(const std::vector<DEV_INFO>& own, const std::vector<onvif::OnvifCamera>& onvif) {
    std::vector<CameraRow> rows;
    rows.reserve(own.size() + onvif.size());
    for (const DEV_INFO& record : own) rows.push_back(own_row(record));
    const size_t own_rows = rows.size();
    for (const onvif::OnvifCamera& camera : onvif) {
        const std::string address = onvif::camera_address(camera);
        CameraRow* match = nullptr;
        for (size_t i = 0; i < own_rows && !match; ++i)
            if (rows[i].protocol == CameraProtocol::own && same_camera(rows[i], camera, address)) match = &rows[i];
        if (match) {
            match->protocol = CameraProtocol::both;
        } else {
            rows.emplace_back();
            match = &rows.back();
            match->protocol = CameraProtocol::onvif;
            match->address = address;
        }
        add_onvif(*match, camera);
    }
    return rows;
}
