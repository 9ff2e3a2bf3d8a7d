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
    uint64_t image_bytes = 0;  // of a whole image, its header included
};
UploadOutcome receive_firmware(OnvifCallContext& call, HttpRequestReader& reader, const HttpHead& head);

// The same check and install for an image read from the reader's next bytes: file_size is
// the image's length with its header, or 0 for as long as the header says; most bounds it.
// A 415 outcome is also given when the image would be longer than most.
UploadOutcome receive_image(OnvifCallContext& call, HttpRequestReader& reader, uint64_t file_size, uint64_t most);
