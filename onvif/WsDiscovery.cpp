#include "onvif/WsDiscovery.h"

#include "onvif/BoundedXml.h"
#include "onvif/Crypto.h"
#include "onvif/Namespaces.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace onvif {

namespace {

constexpr const char* kActionBase = "http://schemas.xmlsoap.org/ws/2005/04/discovery/";
constexpr const char* kDiscoveryTo = "urn:schemas-xmlsoap-org:ws:2005:04:discovery";
constexpr const char* kAnonymous = "http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous";
// Some devices still answer in a SOAP 1.1 envelope; the body is the same.
constexpr const char* kSoap11Envelope = "http://schemas.xmlsoap.org/soap/envelope/";

std::vector<QName> read_types(pugi::xml_node types) {
    std::vector<QName> out;
    for (const std::string& item : split_list(types.child_value(), kMaxListItems)) {
        const size_t colon = item.find(':');
        QName name;
        name.local = colon == std::string::npos ? item : item.substr(colon + 1);
        name.ns = namespace_uri(types, colon == std::string::npos ? std::string_view() : std::string_view(item).substr(0, colon));
        out.push_back(std::move(name));
    }
    return out;
}

uint32_t read_uint(std::string_view text) {
    long value = 0;
    return parse_int(text, 0, UINT32_MAX, value) ? static_cast<uint32_t>(value) : 0;
}

// The content of a Probe, ProbeMatch, Hello or Bye element.
WsdEndpoint read_endpoint(pugi::xml_node node) {
    WsdEndpoint endpoint;
    endpoint.address = child_text(child(node, ns::kAddressing, "EndpointReference"), ns::kAddressing, "Address");
    if (pugi::xml_node types = child(node, ns::kDiscovery, "Types")) endpoint.types = read_types(types);
    endpoint.scopes = split_list(child(node, ns::kDiscovery, "Scopes").child_value(), kMaxListItems);
    endpoint.xaddrs = split_list(child(node, ns::kDiscovery, "XAddrs").child_value(), kMaxListItems);
    endpoint.metadata_version = read_uint(child_text(node, ns::kDiscovery, "MetadataVersion"));
    return endpoint;
}

std::string types_text(const std::vector<QName>& types, std::string& declarations) {
    std::string text;
    int unknown = 0;
    for (const QName& type : types) {
        std::string prefix;
        if (type.ns == ns::kDevice) {
            prefix = "tds";
        } else if (type.ns == ns::kNetworkWsdl) {
            prefix = "dn";
        } else {
            prefix = "t" + std::to_string(unknown++);
            declarations += " xmlns:" + prefix + "=\"" + xml_escape(type.ns) + "\"";
        }
        if (!text.empty()) text += ' ';
        text += prefix + ":" + type.local;
    }
    return text;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        if (!text.empty()) text += ' ';
        text += item;
    }
    return text;
}

std::string endpoint_xml(const WsdEndpoint& endpoint, bool full) {
    std::string xml = "<a:EndpointReference><a:Address>" + xml_escape(endpoint.address) + "</a:Address></a:EndpointReference>";
    if (!full) return xml;
    std::string declarations;
    const std::string types = types_text(endpoint.types, declarations);
    xml += "<d:Types" + declarations + ">" + xml_escape(types) + "</d:Types>";
    xml += "<d:Scopes>" + xml_escape(joined(endpoint.scopes)) + "</d:Scopes>";
    xml += "<d:XAddrs>" + xml_escape(joined(endpoint.xaddrs)) + "</d:XAddrs>";
    xml += "<d:MetadataVersion>" + std::to_string(endpoint.metadata_version) + "</d:MetadataVersion>";
    return xml;
}

std::string envelope(std::string_view action, std::string_view headers, std::string_view body) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<s:Envelope xmlns:s=\"" + std::string(ns::kSoapEnvelope) + "\" xmlns:a=\"" + ns::kAddressing +
           "\" xmlns:d=\"" + ns::kDiscovery + "\" xmlns:tds=\"" + ns::kDevice + "\" xmlns:dn=\"" + ns::kNetworkWsdl + "\">";
    xml += "<s:Header><a:Action s:mustUnderstand=\"1\">" + std::string(kActionBase) + std::string(action) + "</a:Action>";
    xml += headers;
    xml += "</s:Header><s:Body>";
    xml += body;
    xml += "</s:Body></s:Envelope>";
    return xml;
}

std::string sequence_xml(const AppSequence& sequence) {
    return "<d:AppSequence InstanceId=\"" + std::to_string(sequence.instance_id) + "\" MessageNumber=\"" +
           std::to_string(sequence.message_number) + "\"/>";
}

std::string message_id_xml(std::string_view message_id) {
    return "<a:MessageID>" + xml_escape(message_id) + "</a:MessageID>";
}

} // namespace

WsdStatus parse_discovery(std::string_view datagram, WsdMessage& out) {
    XmlDocument doc;
    if (doc.parse(datagram, kMaxDatagramBytes) != XmlStatus::ok) return WsdStatus::bad_xml;
    const pugi::xml_node root = doc.root();
    const char* soap = is_element(root, ns::kSoapEnvelope, "Envelope") ? ns::kSoapEnvelope : kSoap11Envelope;
    if (!is_element(root, soap, "Envelope")) return WsdStatus::not_discovery;
    const pugi::xml_node header = child(root, soap, "Header");
    const pugi::xml_node body = first_element(child(root, soap, "Body"));

    static const std::array<std::pair<const char*, WsdKind>, 4> kKinds = {{
        {"Probe", WsdKind::probe}, {"ProbeMatches", WsdKind::probe_matches}, {"Hello", WsdKind::hello}, {"Bye", WsdKind::bye}}};
    const auto* kind = std::find_if(kKinds.begin(), kKinds.end(), [&](const auto& k) { return is_element(body, ns::kDiscovery, k.first); });
    if (kind == kKinds.end()) return WsdStatus::not_discovery;

    out = WsdMessage();
    out.kind = kind->second;
    out.message_id = child_text(header, ns::kAddressing, "MessageID");
    out.relates_to = child_text(header, ns::kAddressing, "RelatesTo");
    const pugi::xml_node sequence = child(header, ns::kDiscovery, "AppSequence");
    out.sequence.instance_id = read_uint(attribute(sequence, "InstanceId").value());
    out.sequence.message_number = read_uint(attribute(sequence, "MessageNumber").value());

    if (out.kind == WsdKind::probe_matches) {
        for (pugi::xml_node match = child(body, ns::kDiscovery, "ProbeMatch"); match && out.endpoints.size() < kMaxProbeMatches;
             match = next_same(match)) {
            WsdEndpoint endpoint = read_endpoint(match);
            if (!endpoint.address.empty()) out.endpoints.push_back(std::move(endpoint));  // nobody to name
        }
        return out.endpoints.empty() ? WsdStatus::bad_message : WsdStatus::ok;
    }
    out.endpoints.push_back(read_endpoint(body));
    if (out.kind != WsdKind::probe && out.endpoints[0].address.empty()) return WsdStatus::bad_message;
    return WsdStatus::ok;
}

std::vector<QName> onvif_device_types() {
    return {{ns::kDevice, "Device"}, {ns::kNetworkWsdl, "NetworkVideoTransmitter"}};
}

bool has_onvif_type(const WsdEndpoint& endpoint) {
    for (const QName& wanted : onvif_device_types())
        if (std::find(endpoint.types.begin(), endpoint.types.end(), wanted) != endpoint.types.end()) return true;
    return false;
}

std::string new_message_id() {
    std::array<uint8_t, 16> b{};
    if (!random_bytes(b)) return {};
    b[6] = static_cast<uint8_t>((b[6] & 0x0f) | 0x40);
    b[8] = static_cast<uint8_t>((b[8] & 0x3f) | 0x80);
    char text[48];
    std::snprintf(text, sizeof text, "urn:uuid:%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string build_probe(std::string_view message_id, const std::vector<QName>& types) {
    std::string headers = message_id_xml(message_id);
    headers += "<a:ReplyTo><a:Address>" + std::string(kAnonymous) + "</a:Address></a:ReplyTo>";
    headers += "<a:To s:mustUnderstand=\"1\">" + std::string(kDiscoveryTo) + "</a:To>";
    std::string declarations;
    const std::string text = types_text(types, declarations);
    return envelope("Probe", headers, "<d:Probe><d:Types" + declarations + ">" + xml_escape(text) + "</d:Types><d:Scopes/></d:Probe>");
}

std::string build_probe_matches(std::string_view message_id, std::string_view relates_to, const AppSequence& sequence,
                                const std::vector<WsdEndpoint>& matches) {
    std::string headers = message_id_xml(message_id);
    headers += "<a:RelatesTo>" + xml_escape(relates_to) + "</a:RelatesTo>";
    headers += "<a:To s:mustUnderstand=\"1\">" + std::string(kAnonymous) + "</a:To>" + sequence_xml(sequence);
    std::string body = "<d:ProbeMatches>";
    for (const WsdEndpoint& match : matches) body += "<d:ProbeMatch>" + endpoint_xml(match, true) + "</d:ProbeMatch>";
    body += "</d:ProbeMatches>";
    return envelope("ProbeMatches", headers, body);
}

std::string build_hello(std::string_view message_id, const AppSequence& sequence, const WsdEndpoint& endpoint) {
    const std::string headers = message_id_xml(message_id) + "<a:To s:mustUnderstand=\"1\">" + kDiscoveryTo + "</a:To>" + sequence_xml(sequence);
    return envelope("Hello", headers, "<d:Hello>" + endpoint_xml(endpoint, true) + "</d:Hello>");
}

std::string build_bye(std::string_view message_id, const AppSequence& sequence, const WsdEndpoint& endpoint) {
    const std::string headers = message_id_xml(message_id) + "<a:To s:mustUnderstand=\"1\">" + kDiscoveryTo + "</a:To>" + sequence_xml(sequence);
    return envelope("Bye", headers, "<d:Bye>" + endpoint_xml(endpoint, false) + "</d:Bye>");
}

} // namespace onvif
