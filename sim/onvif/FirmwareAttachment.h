#pragma once
#include "onvif/Soap.h"
#include "sim/onvif/HttpRequestReader.h"
#include "sim/onvif/OnvifCall.h"

#include <cstdint>
#include <string>

// UpgradeSystemFirmware as a camera takes it: a multipart/related XOP message whose root part
// is the SOAP envelope and whose attachment, named by the envelope's xop:Include, is the
// image. The envelope and the attachment's part headers are read whole, within a call's
// bounds; the image streams from there into the upload's check (receive_image) and is never
// held whole.
struct AttachmentHead {
    std::string delimiter;    // "\r\n--" and the boundary, which must follow the image
    uint64_t remaining = 0;   // body bytes from the image's first on
    bool all_read = false;    // the whole body was read: no lingering for the rest is needed
};

// A body of Content-Type multipart/related.
bool is_attachment_message(const HttpHead& head);
// Reads up to the attachment's content; an answer with an envelope when the message is
// refused (status 0: the peer left), else request holds the root envelope.
OnvifAnswer read_attachment_head(HttpRequestReader& reader, const HttpHead& head, onvif::SoapRequest& request, AttachmentHead& out);
// The image checked and, when whole, installed with a reboot after the answer.
OnvifAnswer receive_attachment(OnvifCallContext& call, HttpRequestReader& reader, AttachmentHead& head);
