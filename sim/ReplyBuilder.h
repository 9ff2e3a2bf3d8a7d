#pragma once
#include "discovery/DiscoveryHeader.h"
#include "discovery/DiscoveryRecords.h"
#include "sim/CameraConfig.h"

#include <array>
#include <cstddef>
#include <cstdint>

// A camera's answer to the tool, ready to send: header, XML text, and the camera's faults
// already worked in.
struct ReplyDatagram {
    std::array<unsigned char, kSendBufferSize> bytes{};
    size_t length = 0;   // bytes to send; less than the header promises for a truncated reply
};

// The record a camera reports about itself. Texts longer than 31 characters are cut.
DEV_INFO make_dev_info(const CameraConfig& camera, uint16_t device_port);

// False when the reply cannot be encoded (its text would not fit a datagram).
bool build_reply(const CameraConfig& camera, uint16_t device_port, ReplyDatagram& out);
