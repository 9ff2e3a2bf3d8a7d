#pragma once
#include "devsdk/protocol/FirmwareHeader.h"

#include <cstdint>
#include <string>

// Firmware files for tests and demos, written and read in pieces so that a 16 MB image is
// never held in memory.
namespace ovix {

struct FirmwareRecipe {
    std::string board_type;
    FirmwareVersion version;
    uint64_t image_length = 0;
    uint64_t seed = 1;  // the image is a pseudo-random byte stream from this seed
    std::string description;
};

// Writes header and image to path. OVIX_OK or OVIX_ERR_FILE.
int32_t make_firmware_file(const std::string& path, const FirmwareRecipe& recipe);

// Reads and decodes the header of a file: OVIX_OK, OVIX_ERR_FILE (unreadable or shorter than
// a header) or OVIX_ERR_UPGRADE_INVALID.
int32_t read_firmware_header(const std::string& path, FirmwareInfo& out);

} // namespace ovix
