#include "onvif/Multipart.h"

#include <algorithm>
#include <cctype>

namespace onvif {

namespace {

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string without_brackets(std::string_view id) {
    id = trimmed(id);
    if (id.size() >= 2 && id.front() == '<' && id.back() == '>') id = id.substr(1, id.size() - 2);
    return std::string(id);
}

// A parameter value: a token up to ';', or a quoted string with backslash escapes.
bool read_value(std::string_view& text, std::string& out) {
    out.clear();
    text = trimmed(text);
    if (text.empty() || text.front() != '"') {
        const size_t end = text.find(';');
        out = std::string(trimmed(text.substr(0, end)));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
        return !out.empty();
    }
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (text[i] == '"') {
            text.remove_prefix(i + 1);
            return true;
        } else {
            out += text[i];
        }
    }
    return false;  // no closing quote
}

bool valid_boundary(std::string_view boundary) {
    if (boundary.empty() || boundary.size() > kMaxBoundary || boundary.back() == ' ') return false;
    return std::all_of(boundary.begin(), boundary.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("'()+_,-./:=? ").find(c) != std::string_view::npos;
    });
}

// Headers of one part, "Name: value" lines; only Content-ID and Content-Type matter here.
bool read_part_head(std::string_view head, MimePart& part) {
    while (!head.empty()) {
        const size_t end = head.find("\r\n");
        const std::string_view line = head.substr(0, end);
        head.remove_prefix(end == std::string_view::npos ? head.size() : end + 2);
        if (line.empty()) continue;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return false;
        const std::string_view name = trimmed(line.substr(0, colon)), value = trimmed(line.substr(colon + 1));
        if (iequals(name, "Content-ID")) part.content_id = without_brackets(value);
        else if (iequals(name, "Content-Type")) part.content_type = std::string(value);
    }
    return true;
}

} // namespace

bool parse_multipart_type(std::string_view content_type, MultipartType& out) {
    out = MultipartType{};
    const size_t semicolon = content_type.find(';');
    if (semicolon == std::string_view::npos || !iequals(trimmed(content_type.substr(0, semicolon)), "multipart/related")) return false;
    std::string_view rest = content_type.substr(semicolon + 1);
    while (!trimmed(rest).empty()) {
        const size_t equals = rest.find('=');
        if (equals == std::string_view::npos) return false;
        const std::string_view name = trimmed(rest.substr(0, equals));
        rest.remove_prefix(equals + 1);
        std::string value;
        if (!read_value(rest, value)) return false;
        rest = trimmed(rest);
        if (!rest.empty() && rest.front() != ';') return false;
        if (!rest.empty()) rest.remove_prefix(1);
        if (iequals(name, "boundary")) out.boundary = value;
        else if (iequals(name, "type")) out.type = value;
        else if (iequals(name, "start")) out.start = without_brackets(value);
        else if (iequals(name, "start-info")) out.start_info = value;
    }
    return valid_boundary(out.boundary);
}

XopFraming xop_framing(std::string_view envelope, std::string_view soap_action, std::string_view boundary, std::string_view root_id,
                       std::string_view attachment_id) {
    const std::string dash = "--" + std::string(boundary);
    XopFraming framing;
    framing.content_type = "multipart/related; type=\"application/xop+xml\"; start=\"<" + std::string(root_id) +
                           ">\"; start-info=\"application/soap+xml\"; boundary=\"" + std::string(boundary) + "\"";
    framing.prefix = dash + "\r\nContent-Type: application/xop+xml; charset=UTF-8; type=\"application/soap+xml; action=\\\"" +
                     std::string(soap_action) + "\\\"\"\r\nContent-Transfer-Encoding: 8bit\r\nContent-ID: <" + std::string(root_id) +
                     ">\r\n\r\n" + std::string(envelope) + "\r\n" + dash +
                     "\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: binary\r\nContent-ID: <" +
                     std::string(attachment_id) + ">\r\n\r\n";
    framing.suffix = "\r\n" + dash + "--\r\n";
    return framing;
}

MultipartStatus read_leading_parts(std::string_view bytes, std::string_view boundary, size_t count, std::vector<MimePart>& out,
                                   size_t& consumed) {
    out.clear();
    if (count == 0 || !valid_boundary(boundary)) return MultipartStatus::bad;
    const std::string dash = "--" + std::string(boundary);
    const std::string delimiter = "\r\n" + dash;
    // A preamble may come before the first delimiter.
    size_t at = 0;
    if (bytes.substr(0, dash.size()) != dash) {
        if (bytes.size() < dash.size() && dash.substr(0, bytes.size()) == bytes) return MultipartStatus::need_more;
        const size_t found = bytes.find(delimiter);
        if (found == std::string_view::npos) return MultipartStatus::need_more;
        at = found + 2;
    }
    for (;;) {
        at += dash.size();
        while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\t')) ++at;  // transport padding
        if (bytes.size() < at + 2) return MultipartStatus::need_more;
        if (bytes.substr(at, 2) != "\r\n") return MultipartStatus::bad;  // "--": closed before the parts asked for
        at += 2;
        MimePart part;
        size_t head_end = at;
        if (bytes.substr(at, 2) == "\r\n") {
            head_end = at;  // a part without headers
        } else {
            head_end = bytes.find("\r\n\r\n", at);
            if (head_end == std::string_view::npos)
                return bytes.size() - at > kMaxPartHead ? MultipartStatus::bad : MultipartStatus::need_more;
            head_end += 2;
        }
        if (head_end - at > kMaxPartHead || !read_part_head(bytes.substr(at, head_end - at), part)) return MultipartStatus::bad;
        at = head_end + 2;
        if (out.size() + 1 == count) {
            out.push_back(std::move(part));
            consumed = at;
            return MultipartStatus::ok;
        }
        const size_t end = bytes.find(delimiter, at);
        if (end == std::string_view::npos) return MultipartStatus::need_more;
        part.body = bytes.substr(at, end - at);
        out.push_back(std::move(part));
        at = end + 2;
    }
}

} // namespace onvif
