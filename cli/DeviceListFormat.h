#pragma once
#include "discovery/DiscoveryRecords.h"

#include <string>
#include <vector>

// Renders the records of the discovered devices for the command line, in the order found.
enum class DeviceListFormat { Table, Json, Csv };

std::string format_device_list(const std::vector<DEV_INFO>& devices, DeviceListFormat format);
