#include "onvif/Soap.h"

#include "onvif/Namespaces.h"

namespace onvif {

namespace {

constexpr const char* kSoap11Envelope = "http://schemas.xmlsoap.org/soap/envelope/";

// The envelope's namespace, SOAP 1.2 or 1.1; null for anything else.
const char* envelope_namespace(pugi::xml_node root) {
    if (is_element(root, ns::kSoapEnvelope, "Envelope")) return ns::kSoapEnvelope;
    if (is_element(root, kSoap11Envelope, "Envelope")) return kSoap11Envelope;
    return nullptr;
}

} // namespace

std::string build_request(std::string_view body, std::string_view security_header) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<s:Envelope xmlns:s=\"" + std::string(ns::kSoapEnvelope) +
                      "\" xmlns:tds=\"" + ns::kDevice + "\" xmlns:tt=\"" + ns::kSchema + "\" xmlns:wsse=\"" + ns::kSecurity +
                      "\" xmlns:wsu=\"" + ns::kSecurityUtility + "\">";
    if (!security_header.empty()) xml += "<s:Header>" + std::string(security_header) + "</s:Header>";
    xml += "<s:Body>" + std::string(body) + "</s:Body></s:Envelope>";
    return xml;
}

std::string soap_content_type(std::string_view operation) {
    return "application/soap+xml; charset=utf-8; action=\"" + std::string(ns::kDevice) + "/" + std::string(operation) + "\"";
}

Result SoapReply::parse(int http_status, std::string_view text, size_t max_bytes) {
    m_body = {};
    const XmlStatus xml = text.empty() ? XmlStatus::malformed : m_doc.parse(text, max_bytes);
    const char* envelope = xml == XmlStatus::ok ? envelope_namespace(m_doc.root()) : nullptr;
    const pugi::xml_node first = envelope ? first_element(child(m_doc.root(), envelope, "Body")) : pugi::xml_node();

    if (first && is_element(first, envelope, "Fault")) {
        const SoapFault fault = read_fault(first);
        Result result = make_result(classify(http_status, &fault), fault.reason, http_status);
        result.code = fault.code;
        if (!fault.subcodes.empty()) result.subcode = fault.subcodes.back();
        return result;
    }
    const Status status = classify(http_status, nullptr);
    if (status != Status::ok) return make_result(status, {}, http_status);
    if (!first) {
        if (xml != XmlStatus::ok) return make_result(Status::bad_reply, std::string("reply ") + xml_status_name(xml), http_status);
        return make_result(Status::bad_reply, "reply is no SOAP envelope with a body", http_status);
    }
    m_body = first;
    return make_result(Status::ok, {}, http_status);
}

XmlStatus SoapRequest::parse(std::string_view text, size_t max_bytes) {
    m_header = m_operation = {};
    const XmlStatus xml = m_doc.parse(text, max_bytes);
    if (xml != XmlStatus::ok) return xml;
    const char* envelope = envelope_namespace(m_doc.root());
    if (!envelope) return XmlStatus::malformed;
    m_header = child(m_doc.root(), envelope, "Header");
    m_operation = first_element(child(m_doc.root(), envelope, "Body"));
    return m_operation ? XmlStatus::ok : XmlStatus::malformed;
}

} // namespace onvif
