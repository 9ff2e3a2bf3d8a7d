#pragma once
#include "devsdk/protocol/Messages.h"

#include <array>
#include <cstdint>
#include <string>

// The firmware file: a 456-byte header, then the image. Header fields, little-endian:
//     0  u32   magic "OVFW"
//     4  u32   format, 1
//     8  char  board type[24], zero-terminated
//    32  i32   version major
//    36  i32   version minor
//    40  i32   version build
//    44  u32   flags, 0
//    48  u64   image length (the file is 456 + image length bytes)
//    56  u64   reserved, 0
//    64  u8    image digest[32], BLAKE2b-256 of the image
//    96  char  description[328], zero-terminated
//   424  u8    header digest[32], BLAKE2b-256 of bytes 0..423
namespace ovix {

constexpr uint32_t kFirmwareMagic = 0x5746564F;
constexpr uint32_t kFirmwareFormat = 1;
constexpr size_t kBoardTypeSize = 24;
constexpr size_t kDescriptionSize = 328;
using Digest = std::array<uint8_t, 32>;

struct FirmwareVersion {
    int32_t major = 0;
    int32_t minor = 0;
    int32_t build = 0;
    auto operator<=>(const FirmwareVersion&) const = default;
};

struct FirmwareInfo {
    std::string board_type;
    FirmwareVersion version;
    uint64_t image_length = 0;
    Digest image_digest{};
    std::string description;
};

FirmwareHeaderBytes encode_firmware_header(const FirmwareInfo& info);

// OVIX_OK with the fields, or OVIX_ERR_UPGRADE_INVALID for a damaged or foreign header.
int32_t decode_firmware_header(const FirmwareHeaderBytes& header, FirmwareInfo& out);

// The device's first check of an upgrade, before any image byte moves: OVIX_OK,
// OVIX_ERR_UPGRADE_INVALID (header damaged, or file size not header + image length) or
// OVIX_ERR_UPGRADE_BOARD. Whether the version is acceptable (OVIX_ERR_UPGRADE_VERSION) is
// the device's own policy.
int32_t check_upgrade_start(const UpgradeStart& start, const std::string& device_board_type, FirmwareInfo& out);

// "major.minor.build", the form in which devices report their version.
std::string version_text(const FirmwareVersion& v);

// Incremental BLAKE2b-256, so that neither side holds a whole image in memory.
class ImageDigest {
public:
    ImageDigest();
    void update(ByteView data);
    Digest finish();

private:
    alignas(64) unsigned char m_state[384];
};

} // namespace ovix
