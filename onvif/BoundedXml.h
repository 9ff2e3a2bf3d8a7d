#pragma once
#include <pugixml.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Reading XML that came from the network. A document is refused before parsing when it is
// larger than its byte limit, and after parsing when it nests elements deeper than its depth
// limit, has an element with too many attributes or declares a document type: no DTD is ever processed, so no entity is expanded (the parser
// knows only the five predefined ones and character references). Elements are looked up by
// namespace URI and local name, whatever prefix the sender chose.
namespace onvif {

constexpr size_t kMaxSoapBytes = 1024 * 1024;
constexpr size_t kMaxDatagramBytes = 64 * 1024;
// SOAP replies of the device service nest about ten deep; a vendor's extensions add a few.
constexpr int kMaxXmlDepth = 32;
constexpr size_t kMaxXmlAttributes = 64;

enum class XmlStatus { ok, too_large, malformed, too_deep, doctype, too_many_attributes };
const char* xml_status_name(XmlStatus status);

class XmlDocument {
public:
    XmlStatus parse(std::string_view text, size_t max_bytes, int max_depth = kMaxXmlDepth);
    // The document element; empty when the last parse failed.
    pugi::xml_node root() const { return m_ok ? m_doc.document_element() : pugi::xml_node(); }

private:
    pugi::xml_document m_doc;
    bool m_ok = false;
};

// The part of a qualified name after its colon.
std::string_view local_name(const char* qualified);
// The namespace URI that a prefix ("" for the default namespace) stands for at a node, by
// the declarations on the node and its ancestors; empty when undeclared.
std::string_view namespace_uri(pugi::xml_node node, std::string_view prefix);
bool is_element(pugi::xml_node node, std::string_view ns, std::string_view local);

// The first child element with that name, or an empty node.
pugi::xml_node child(pugi::xml_node parent, std::string_view ns, std::string_view local);
pugi::xml_node first_element(pugi::xml_node parent);
// The following sibling with the same name.
pugi::xml_node next_same(pugi::xml_node node);
// An attribute by its local name (attributes of the messages we read are unqualified, but
// some senders qualify them).
pugi::xml_attribute attribute(pugi::xml_node node, std::string_view local);

// The element's text with surrounding white space removed.
std::string text_of(pugi::xml_node node);
std::string child_text(pugi::xml_node parent, std::string_view ns, std::string_view local);
// xs:boolean: "true"/"1" and "false"/"0"; anything else gives fallback.
bool parse_bool(std::string_view text, bool fallback);
// A decimal xs:int within [low, high]; false otherwise.
bool parse_int(std::string_view text, long low, long high, long& out);

// The items of an XML list (white space between them); at most max_items are kept.
std::vector<std::string> split_list(std::string_view text, size_t max_items);

// Text escaped for element content and attribute values alike.
std::string xml_escape(std::string_view text);

} // namespace onvif
