#pragma once
#include "onvif/DeviceMessages.h"

#include <cstdint>
#include <string>
#include <string_view>

// StartFirmwareUpgrade: where to POST the firmware file and how long to wait around it. The
// file itself goes as one HTTP POST (HttpUpload.h). A camera without that upload takes the
// older UpgradeSystemFirmware, the image an XOP attachment of the SOAP message (Multipart.h).
namespace onvif {

// The longest wait a camera may ask for; a longer one is read as a damaged answer.
constexpr int64_t kMaxDurationMs = 24 * 3600 * 1000;

// xs:duration of days, hours, minutes and seconds ("PT30S", "PT1M30.5S", "P1DT2H") as
// milliseconds, fractions rounded up. Years and months (no fixed length), negative values,
// more than 9 digits in a field and anything above kMaxDurationMs give false.
bool parse_duration(std::string_view text, int64_t& ms);

struct FirmwareUpgradeStart {
    std::string upload_uri;         // absolute: a bare path is taken on the device service's host
    int64_t upload_delay_ms = 0;    // wait this long before the POST
    int64_t expected_down_time_ms = 0;  // the camera is gone this long after the upload
    bool operator==(const FirmwareUpgradeStart&) const = default;
};

Request start_firmware_upgrade();
// False without an UploadUri, with one on another host than xaddr's, or with a duration that
// does not read; xaddr resolves a bare path.
bool read_start_firmware_upgrade(pugi::xml_node response, std::string_view xaddr, FirmwareUpgradeStart& out);

// The firmware as the attachment whose Content-ID is attachment_id.
Request upgrade_system_firmware(std::string_view attachment_id);
// The camera's Message, which it may leave out.
bool read_upgrade_system_firmware(pugi::xml_node response, std::string& message);

} // namespace onvif
