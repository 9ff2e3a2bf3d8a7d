#pragma once
#include "discovery/DiscoveryRecords.h"

#include <string>
#include <vector>

// Renders the device table for the command line, in table order.
enum class DeviceTableFormat { Table, Json, Csv };

std::string format_device_table(const std::vector<DEV_INFO>& devices, DeviceTableFormat format);
