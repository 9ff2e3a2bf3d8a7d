#include "onvif/BoundedXml.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace onvif {

namespace {

// Walks the tree without recursion: depth beyond the limit, or an element with more
// attributes than any message we read has (namespace lookups scan an element's attributes,
// so their number bounds the work per lookup).
XmlStatus check_shape(pugi::xml_node root, int max_depth) {
    int depth = 1;
    pugi::xml_node node = root;
    for (;;) {
        if (node.type() == pugi::node_element) {
            if (depth > max_depth) return XmlStatus::too_deep;
            size_t attributes = 0;
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
                if (++attributes > kMaxXmlAttributes) return XmlStatus::too_many_attributes;
        }
        if (pugi::xml_node first = node.first_child()) {
            node = first;
            ++depth;
            continue;
        }
        while (node != root && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (node == root) return XmlStatus::ok;
        node = node.next_sibling();
    }
}

std::string_view trim(std::string_view text) {
    const char* space = " \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

} // namespace

const char* xml_status_name(XmlStatus status) {
    switch (status) {
    case XmlStatus::ok: return "ok";
    case XmlStatus::too_large: return "too large";
    case XmlStatus::malformed: return "malformed";
    case XmlStatus::too_deep: return "nested too deep";
    case XmlStatus::doctype: return "declares a document type";
    case XmlStatus::too_many_attributes: return "an element with too many attributes";
    }
    return "?";
}

XmlStatus XmlDocument::parse(std::string_view text, size_t max_bytes, int max_depth) {
    m_ok = false;
    m_doc.reset();
    if (text.size() > max_bytes) return XmlStatus::too_large;
    // The declaration is kept as a node so that it can be refused; it is never interpreted.
    const unsigned options = pugi::parse_default | pugi::parse_doctype;
    const pugi::xml_parse_result parsed = m_doc.load_buffer(text.data(), text.size(), options, pugi::encoding_utf8);
    if (!parsed || !m_doc.document_element()) return XmlStatus::malformed;
    for (pugi::xml_node node = m_doc.first_child(); node; node = node.next_sibling())
        if (node.type() == pugi::node_doctype) return XmlStatus::doctype;
    const XmlStatus shape = check_shape(m_doc.document_element(), max_depth);
    m_ok = shape == XmlStatus::ok;
    return shape;
}

std::string_view local_name(const char* qualified) {
    const char* colon = std::strchr(qualified, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(qualified);
}

std::string_view namespace_uri(pugi::xml_node node, std::string_view prefix) {
    std::string name = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (; node && node.type() == pugi::node_element; node = node.parent())
        if (pugi::xml_attribute declared = node.attribute(name.c_str())) return declared.value();
    if (prefix == "xml") return "http://www.w3.org/XML/1998/namespace";
    return {};
}

bool is_element(pugi::xml_node node, std::string_view ns, std::string_view local) {
    if (node.type() != pugi::node_element) return false;
    const char* name = node.name();
    const std::string_view tail = local_name(name);
    if (tail != local) return false;
    const std::string_view prefix(name, tail.data() == name ? 0 : static_cast<size_t>(tail.data() - name - 1));
    return namespace_uri(node, prefix) == ns;
}

pugi::xml_node child(pugi::xml_node parent, std::string_view ns, std::string_view local) {
    for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling())
        if (is_element(node, ns, local)) return node;
    return {};
}

pugi::xml_node first_element(pugi::xml_node parent) {
    for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling())
        if (node.type() == pugi::node_element) return node;
    return {};
}

pugi::xml_node next_same(pugi::xml_node node) {
    const std::string_view local = local_name(node.name());
    const std::string_view prefix(node.name(), local.data() == node.name() ? 0 : static_cast<size_t>(local.data() - node.name() - 1));
    const std::string ns(namespace_uri(node, prefix));
    for (pugi::xml_node next = node.next_sibling(); next; next = next.next_sibling())
        if (is_element(next, ns, local)) return next;
    return {};
}

pugi::xml_attribute attribute(pugi::xml_node node, std::string_view local) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        if (local_name(a.name()) == local && std::strncmp(a.name(), "xmlns", 5) != 0) return a;
    return {};
}

std::string text_of(pugi::xml_node node) {
    return std::string(trim(node.child_value()));
}

std::string child_text(pugi::xml_node parent, std::string_view ns, std::string_view local) {
    return text_of(child(parent, ns, local));
}

bool parse_bool(std::string_view text, bool fallback) {
    text = trim(text);
    if (text == "true" || text == "1") return true;
    if (text == "false" || text == "0") return false;
    return fallback;
}

bool parse_int(std::string_view text, long low, long high, long& out) {
    text = trim(text);
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) return false;
    out = value;
    return true;
}

std::vector<std::string> split_list(std::string_view text, size_t max_items) {
    std::vector<std::string> items;
    size_t start = 0;
    while (items.size() < max_items) {
        start = text.find_first_not_of(" \t\r\n", start);
        if (start == std::string_view::npos) break;
        const size_t end = std::min(text.find_first_of(" \t\r\n", start), text.size());
        items.emplace_back(text.substr(start, end - start));
        start = end;
    }
    return items;
}

std::string xml_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace onvif
