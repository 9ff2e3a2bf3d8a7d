#pragma once
#include "batch/CameraList.h"
#include "discovery/DiscoveryRecords.h"

#include <string>
#include <vector>

enum class DeviceListFormat { Table, Json, Csv };

// Renders the merged list (our discovery's and ONVIF's cameras) for the command line, in the
// order found: every field of our discovery's record, blank (null in JSON) where a camera found
// by ONVIF alone has no such field, then protocol, uuid, model, manufacturer and xaddr. The
// table adds only protocol and model, and shows board_type in hexadecimal.
std::string format_camera_list(const std::vector<CameraRow>& cameras, DeviceListFormat format);
