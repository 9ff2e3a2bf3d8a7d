#pragma once
#include "batch/CameraList.h"
#include "discovery/DiscoveryRecords.h"

#include <string>
#include <vector>

// Renders the records of the discovered devices for the command line, in the order found.
enum class DeviceListFormat { Table, Json, Csv };

std::string format_device_list(const std::vector<DEV_INFO>& devices, DeviceListFormat format);

// The merged list (our discovery's and ONVIF's cameras): every column above, blank (null in
// JSON) where a camera found by ONVIF alone has no such field, then protocol, uuid, model,
// manufacturer and xaddr. The table adds only protocol and model.
std::string format_camera_list(const std::vector<CameraRow>& cameras, DeviceListFormat format);
