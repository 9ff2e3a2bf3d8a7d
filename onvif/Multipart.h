#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// multipart/related messages as XOP packs a SOAP envelope with a binary attachment: the
// envelope is the root part, the attachment a later part that the envelope names by
// "cid:<Content-ID>". Both sides are here: the framing a client sends around a streamed
// file, and the reading of a message's leading parts by a device, which then streams the
// attachment's content from where the reading stopped.
namespace onvif {

inline constexpr const char* kXopNamespace = "http://www.w3.org/2004/08/xop/include";
inline constexpr const char* kXmlMimeNamespace = "http://www.w3.org/2005/05/xmlmime";
// A boundary is 1 to 70 characters; a part's headers at most kMaxPartHead bytes.
constexpr size_t kMaxBoundary = 70;
constexpr size_t kMaxPartHead = 4096;

// The parameters of a multipart/related Content-Type; start is the root's Content-ID
// without its angle brackets.
struct MultipartType {
    std::string boundary;
    std::string type;
    std::string start;
    std::string start_info;
};
// False when the type is not multipart/related or has no usable boundary.
bool parse_multipart_type(std::string_view content_type, MultipartType& out);

// What goes before and after an attachment's content: the root part holding the envelope,
// the attachment's part headers, and the closing delimiter.
struct XopFraming {
    std::string content_type;  // of the whole HTTP body
    std::string prefix;
    std::string suffix;
};
// boundary, root_id and attachment_id are tokens without angle brackets; soap_action names
// the operation as a SOAP 1.2 action.
XopFraming xop_framing(std::string_view envelope, std::string_view soap_action, std::string_view boundary,
                       std::string_view root_id, std::string_view attachment_id);

struct MimePart {
    std::string content_id;    // without angle brackets
    std::string content_type;
    std::string_view body;     // into the bytes read; empty for the last part asked for
};
enum class MultipartStatus { ok, need_more, bad };
// Reads the first `count` parts of bytes, a multipart body's beginning: every part but the
// last whole, and the last one's headers only; consumed is then where its content begins.
// need_more: the bytes end before that; bad: not a multipart body of that boundary, or a
// part's headers over kMaxPartHead.
MultipartStatus read_leading_parts(std::string_view bytes, std::string_view boundary, size_t count, std::vector<MimePart>& out,
                                   size_t& consumed);

} // namespace onvif
