#include "onvif/SoapFault.h"

#include "onvif/BoundedXml.h"
#include "onvif/Namespaces.h"

#include <algorithm>
#include <strings.h>

namespace onvif {

namespace {

// A subcode nests inside the one before; a fault deeper than this says nothing more useful.
constexpr int kMaxSubcodes = 8;

// The local part of a QName's text: "ter:NotAuthorized" gives "NotAuthorized".
std::string qname_local(const std::string& text) {
    const size_t colon = text.find(':');
    return colon == std::string::npos ? text : text.substr(colon + 1);
}

bool contains_busy(std::string_view text) {
    for (size_t i = 0; i + 4 <= text.size(); ++i)
        if (strncasecmp(text.data() + i, "busy", 4) == 0) return true;
    return false;
}

bool any_of(const std::vector<std::string>& subcodes, std::initializer_list<std::string_view> names) {
    return std::any_of(subcodes.begin(), subcodes.end(), [&](const std::string& s) {
        return std::find(names.begin(), names.end(), s) != names.end();
    });
}

} // namespace

const char* status_name(Status status) {
    switch (status) {
    case Status::ok: return "ok";
    case Status::not_authorized: return "not authorized";
    case Status::not_supported: return "not supported";
    case Status::busy: return "busy";
    case Status::bad_argument: return "bad argument";
    case Status::fault: return "fault";
    case Status::unreachable: return "unreachable";
    case Status::bad_reply: return "bad reply";
    }
    return "?";
}

Result make_result(Status status, std::string text, int http_status) {
    Result result;
    result.status = status;
    result.http_status = http_status;
    result.text = std::move(text);
    return result;
}

std::string describe(const Result& result) {
    std::string line = status_name(result.status);
    std::string detail;
    if (result.http_status != 0) detail = "HTTP " + std::to_string(result.http_status);
    if (!result.code.empty()) {
        if (!detail.empty()) detail += ", ";
        detail += result.code + (result.subcode.empty() ? "" : "/" + result.subcode);
    }
    if (!result.text.empty()) detail += (detail.empty() ? "" : ": ") + result.text;
    return detail.empty() ? line : line + " (" + detail + ")";
}

SoapFault read_fault(pugi::xml_node fault) {
    SoapFault out;
    const pugi::xml_node code = child(fault, ns::kSoapEnvelope, "Code");
    if (!code) {
        // SOAP 1.1: unqualified faultcode and faultstring.
        out.code = qname_local(text_of(fault.child("faultcode")));
        out.reason = text_of(fault.child("faultstring"));
        return out;
    }
    out.code = qname_local(child_text(code, ns::kSoapEnvelope, "Value"));
    pugi::xml_node sub = child(code, ns::kSoapEnvelope, "Subcode");
    for (int i = 0; sub && i < kMaxSubcodes; ++i, sub = child(sub, ns::kSoapEnvelope, "Subcode"))
        out.subcodes.push_back(qname_local(child_text(sub, ns::kSoapEnvelope, "Value")));
    out.reason = child_text(child(fault, ns::kSoapEnvelope, "Reason"), ns::kSoapEnvelope, "Text");
    return out;
}

Status classify(int http_status, const SoapFault* fault) {
    if (fault) {
        const std::vector<std::string>& sub = fault->subcodes;
        if (any_of(sub, {"NotAuthorized"})) return Status::not_authorized;
        if (any_of(sub, {"ActionNotSupported", "UnknownAction", "NoSuchService", "ServiceNotSupported"})) return Status::not_supported;
        if (http_status == 503 || std::any_of(sub.begin(), sub.end(), contains_busy) || contains_busy(fault->reason)) return Status::busy;
        if (any_of(sub, {"InvalidArgVal", "InvalidArgs"}) ||
            std::any_of(sub.begin(), sub.end(), [](const std::string& s) { return s.rfind("Invalid", 0) == 0; }))
            return Status::bad_argument;
        if (http_status == 401) return Status::not_authorized;
        return Status::fault;
    }
    if (http_status >= 200 && http_status < 300) return Status::ok;
    if (http_status == 401) return Status::not_authorized;
    if (http_status == 503) return Status::busy;
    return Status::fault;
}

std::string build_fault(std::string_view code, std::string_view subcode, std::string_view reason) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<s:Envelope xmlns:s=\"" + std::string(ns::kSoapEnvelope) +
                      "\" xmlns:ter=\"" + ns::kError + "\"><s:Body><s:Fault><s:Code><s:Value>s:" + xml_escape(code) + "</s:Value>";
    if (!subcode.empty()) xml += "<s:Subcode><s:Value>ter:" + xml_escape(subcode) + "</s:Value></s:Subcode>";
    xml += "</s:Code><s:Reason><s:Text xml:lang=\"en\">" + xml_escape(reason) + "</s:Text></s:Reason></s:Fault></s:Body></s:Envelope>";
    return xml;
}

} // namespace onvif
