#pragma once
#include "onvif/BoundedXml.h"
#include "onvif/SoapFault.h"

#include <string>
#include <string_view>

// SOAP 1.2 envelopes of the device service. Requests are written with the prefixes "tds"
// (device service), "tt" (schema) and, in the security header, "wsse" and "wsu", all declared
// on the envelope.
namespace onvif {

// The envelope around one body element; security_header is a whole wsse:Security element or
// empty.
std::string build_request(std::string_view body, std::string_view security_header = {});
// A device's answer: the same envelope around its response element.
inline std::string build_response(std::string_view body) {
    return build_request(body);
}
// The HTTP Content-Type of a device service request for an operation ("GetDeviceInformation").
std::string soap_content_type(std::string_view operation);

// A reply read from its HTTP status and body: the body's first element, or the fault or HTTP
// error turned into a Result. The element lives as long as the object.
class SoapReply {
public:
    Result parse(int http_status, std::string_view text, size_t max_bytes = kMaxSoapBytes);
    // The body's first element when parse() gave ok.
    pugi::xml_node body() const { return m_body; }

private:
    XmlDocument m_doc;
    pugi::xml_node m_body;
};

// A request as a device reads it: its header (maybe empty) and its operation element.
class SoapRequest {
public:
    XmlStatus parse(std::string_view text, size_t max_bytes = kMaxSoapBytes);
    pugi::xml_node header() const { return m_header; }
    pugi::xml_node operation() const { return m_operation; }

private:
    XmlDocument m_doc;
    pugi::xml_node m_header;
    pugi::xml_node m_operation;
};

} // namespace onvif
