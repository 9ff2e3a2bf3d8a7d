#include "sim/onvif/FirmwareAttachment.h"

#include "onvif/DeviceReplies.h"
#include "onvif/Multipart.h"
#include "onvif/Namespaces.h"
#include "sim/onvif/FirmwareUpload.h"

#include <algorithm>
#include <vector>

namespace {

// The envelope, the two parts' headers and a preamble together: what a call may bring.
constexpr uint64_t kMaxLeadingBytes = onvif::kMaxSoapBytes + 4 * onvif::kMaxPartHead;
constexpr size_t kPiece = 64 * 1024;
// After the image: the closing delimiter and a short epilogue are read, more is not.
constexpr uint64_t kMaxTrailer = 1024;

OnvifAnswer malformed(std::string_view why) {
    OnvifAnswer answer = soap_fault_answer(400, "Sender", "WellFormed", why);
    answer.detail = std::string(why);
    return answer;
}

} // namespace

bool is_attachment_message(const HttpHead& head) {
    onvif::MultipartType type;
    return onvif::parse_multipart_type(head.content_type, type);
}

OnvifAnswer read_attachment_head(HttpRequestReader& reader, const HttpHead& head, onvif::SoapRequest& request, AttachmentHead& out) {
    onvif::MultipartType type;
    if (!onvif::parse_multipart_type(head.content_type, type) || type.type != "application/xop+xml")
        return malformed("not an XOP message");
    std::string bytes, piece;
    std::vector<onvif::MimePart> parts;
    size_t consumed = 0;
    onvif::MultipartStatus status;
    while ((status = onvif::read_leading_parts(bytes, type.boundary, 2, parts, consumed)) == onvif::MultipartStatus::need_more) {
        const uint64_t left = std::min<uint64_t>(head.content_length, kMaxLeadingBytes) - bytes.size();
        if (left == 0) break;
        if (!reader.read_some(static_cast<size_t>(std::min<uint64_t>(left, kPiece)), piece)) return OnvifAnswer{0, {}, "cut", {}};
        bytes += piece;
    }
    if (status != onvif::MultipartStatus::ok) return malformed("no envelope and attachment of its boundary");
    const onvif::MimePart& root = parts[0];
    if ((!type.start.empty() && root.content_id != type.start) || root.content_type.rfind("application/xop+xml", 0) != 0)
        return malformed("the first part is not the root named by start");
    if (request.parse(root.body) != onvif::XmlStatus::ok) return malformed("not a SOAP envelope");
    const pugi::xml_node operation = request.operation();
    if (!onvif::is_element(operation, onvif::ns::kDevice, "UpgradeSystemFirmware"))
        return soap_fault_answer(500, "Receiver", "ActionNotSupported", "only UpgradeSystemFirmware comes with an attachment");
    const pugi::xml_node include =
        onvif::child(onvif::child(operation, onvif::ns::kDevice, "Firmware"), onvif::kXopNamespace, "Include");
    const std::string_view href = include.attribute("href").value();
    if (href.rfind("cid:", 0) != 0 || href.substr(4) != parts[1].content_id)
        return malformed("the Firmware's xop:Include names no attachment here");
    reader.put_back(std::string_view(bytes).substr(consumed));
    out.delimiter = "\r\n--" + type.boundary;
    out.remaining = head.content_length - consumed;
    return {};
}

OnvifAnswer receive_attachment(OnvifCallContext& call, HttpRequestReader& reader, AttachmentHead& head) {
    const uint64_t closing = head.delimiter.size() + 2;  // "--" ends the last delimiter
    const uint64_t most = head.remaining > closing ? head.remaining - closing : 0;
    const UploadOutcome outcome = receive_image(call, reader, 0, most);
    OnvifAnswer answer;
    switch (outcome.status) {
    case 0: return OnvifAnswer{0, {}, outcome.detail, {}};
    case 200: answer = OnvifAnswer{200, onvif::build_response(onvif::upgrade_system_firmware_response("Upgrade accepted; the device reboots")), {}, {}}; break;
    case 503: answer = soap_fault_answer(503, "Receiver", "", "The device is busy"); break;
    default: answer = soap_fault_answer(500, "Receiver", "InvalidFirmware", "The firmware was invalid"); break;
    }
    answer.detail = outcome.detail;
    // A whole image leaves the closing delimiter to read, so that the answer is not lost to
    // a reset; the image's own length decided where it ends.
    const uint64_t trailer = head.remaining - outcome.image_bytes;
    std::string rest;
    if (outcome.status == 200 && trailer <= kMaxTrailer && reader.read_body(trailer, rest)) {
        head.all_read = true;
        if (rest.rfind(head.delimiter, 0) != 0) answer.detail += " (no delimiter after the image)";
    }
    return answer;
}
