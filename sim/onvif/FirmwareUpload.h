#pragma once
#include "sim/onvif/HttpRequestReader.h"
#include "sim/onvif/OnvifCall.h"

// The HTTP POST of a firmware file to the address StartFirmwareUpgrade gave. The file is our
// own firmware format, checked as the device SDK's upgrade checks it (header, board type,
// version policy, the image's digest) while it streams in, never held whole. A damaged or
// foreign file is answered 415; a camera already upgrading 503. A complete image is answered
// 200 and the camera reboots into it, or into its old version with upgrade_install_fails.
struct UploadOutcome {
    int status = 200;      // 0: the camera hung up without an answer (a fault)
    std::string detail;
};
UploadOutcome receive_firmware(OnvifCallContext& call, HttpRequestReader& reader, const HttpHead& head);
