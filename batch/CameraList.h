#pragma once
#include "discovery/DiscoveryRecords.h"
#include "onvif/OnvifCamera.h"

#include <optional>
#include <string>
#include <vector>

// One list of the cameras on the LAN, whichever way they were found: our own discovery's
// records and the ONVIF cameras, merged into one row per camera. Two entries are one camera
// when they have the same MAC, or, where either lacks one, the same IPv4 address. The command
// line and the window list the same rows.
enum class CameraProtocol { own, onvif, both };
const char* protocol_name(CameraProtocol protocol);  // "own", "onvif", "both"

struct CameraRow {
    CameraProtocol protocol = CameraProtocol::own;
    std::optional<DEV_INFO> own;  // the record our discovery gave, when it found the camera
    std::string address;
    std::string mac;
    std::string model;
    std::string manufacturer;
    // Our discovery's version when it has one, else the ONVIF reading's; for an ONVIF camera
    // that could not be read, what it lacks in parentheses, "(log in)" without credentials.
    std::string firmware_version;
    std::string uuid;   // ONVIF endpoint, "" for own only
    std::string xaddr;  // the device service used, "" for own only
};

// Rows in our discovery's order, then the ONVIF-only cameras in the order heard.
std::vector<CameraRow> merge_cameras(const std::vector<DEV_INFO>& own, const std::vector<onvif::OnvifCamera>& onvif);

// What an ONVIF camera's row says in place of a version it could not read: "(log in)",
// "(login refused)", "(no answer)", "(not read)"; "" once read.
std::string missing_version_text(onvif::Reading reading);
