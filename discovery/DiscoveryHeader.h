#pragma once
#include <cstddef>
#include <cstdint>

// Every discovery datagram is this 64-byte header followed by the XML text of one message.
constexpr uint32_t kDiscoveryMagic = 0xFFFE3412u;
constexpr uint32_t kCmdRequestDeviceInfo = 4097;   // MSG_REQUEST_DEVICE_INFO
constexpr uint32_t kCmdDevInfoReply = 4098;        // MSG_DEV_INFO_REPLY
constexpr uint32_t kCmdNetworkInfoRequest = 4099;  // MSG_NETWORK_INFO_REQUEST

constexpr size_t kSendBufferSize = 1440;
constexpr size_t kRecvBufferSize = 2048;

// Words 0 to 7 travel big-endian; words 8 to 15 are sent as zero and never converted.
struct DiscoveryHeader {
    uint32_t word[16];

    uint32_t magic() const { return word[0]; }
    uint32_t command() const { return word[2]; }
    uint32_t payload_length() const { return word[7]; }

    void to_network();
    void to_host();
};
static_assert(sizeof(DiscoveryHeader) == 64);

constexpr size_t kDiscoveryHeaderSize = sizeof(DiscoveryHeader);
constexpr size_t kPayloadCapacity = kSendBufferSize - kDiscoveryHeaderSize;  // 1376
