#include "discovery/XmlMessage.h"

#include "foundation/ResultCodes.h"
#include "foundation/debug_log.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <tinyxml.h>

namespace {

std::atomic<FILE*> g_trace{nullptr};

void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char* format, ...) {
    FILE* stream = g_trace.load();
    if (!stream) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
}

void trace_document(const TiXmlDocument& doc) {
    if (FILE* stream = g_trace.load()) doc.Print(stream, 0);
}

struct PathSegments {
    char segment[kXmlMaxSegments][kXmlSegmentSize] = {};
    int count = 0;
};

// Cuts the path into its segments; false (with the trace message) when it has too many.
bool split_path(const char* function, const char* path, PathSegments& out) {
    const char* rest = path;
    while (rest) {
        rest = xml_path_split(out.segment[out.count], rest);
        ++out.count;
        if (out.count >= kXmlMaxSegments) {
            trace("%s: node level too deep, path = %s\n", function, path);
            return false;
        }
    }
    return true;
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

void xml_set_trace(FILE* stream) { g_trace.store(stream); }

int32_t xml_leading_int(std::string_view text, bool* fits) {
    size_t i = 0;
    while (i < text.size() && is_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate towards the clamp limit so that no digit string can overflow.
    constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    int64_t value = 0;
    bool clamped = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) {
            value = kLimit;
            clamped = true;
        }
    }
    if (fits) *fits = !clamped && (negative || value < kLimit);
    if (negative) return static_cast<int32_t>(-value);
    return static_cast<int32_t>(value < kLimit ? value : kLimit - 1);
}

TiXmlDocument* xml_file_open(const char* text) {
    auto* doc = new TiXmlDocument();
    if (text)
        // Byte by byte, whatever the text declares: in its UTF-8 mode the parser steps over
        // the length a lead byte announces even where the text ends sooner, and reads past
        // the end. The messages' texts are ASCII. A broken text simply yields fewer elements.
        doc->Parse(text, nullptr, TIXML_ENCODING_LEGACY);
    else
        doc->LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
    trace_document(*doc);
    return doc;
}

int xml_file_close(TiXmlDocument* doc) {
    if (!doc) return -1;
    delete doc;
    return 0;
}

const char* xml_path_split(char* segment, const char* path) {
    if (!segment || !path) return nullptr;
    const char* dot = std::strchr(path, '.');
    size_t length = dot ? static_cast<size_t>(dot - path) : std::strlen(path);
    if (length > kXmlSegmentSize - 1) length = kXmlSegmentSize - 1;
    std::memcpy(segment, path, length);
    segment[length] = '\0';
    return dot ? dot + 1 : nullptr;
}

int xml_file_read(TiXmlDocument* doc, char* out, size_t capacity, const char* path, bool attribute, const char* attribute_name) {
    if (!doc || !out || capacity == 0) return -1;
    PathSegments path_segments;
    if (!split_path("xml_file_read", path, path_segments)) return -1;
    if (path_segments.count == 0) return -1;

    TiXmlElement* element = doc->FirstChildElement(path_segments.segment[0]);
    for (int i = 1; element && i < path_segments.count; ++i)
        element = element->FirstChildElement(path_segments.segment[i]);
    if (!element) return -1;

    const char* value = nullptr;
    if (attribute) {
        value = attribute_name ? element->Attribute(attribute_name) : nullptr;
        if (!value) {
            trace("get attribute [%s]failed!", attribute_name ? attribute_name : "");
            return -1;
        }
    } else {
        value = element->GetText();
        if (!value) value = "";
    }
    std::memset(out, 0, capacity);
    size_t length = std::strlen(value);
    std::memcpy(out, value, length < capacity - 1 ? length : capacity - 1);
    return 0;
}

int xml_file_write_new(TiXmlDocument* doc, const char* value, const char* path, bool attribute, const char* attribute_name) {
    if (!doc) return -1;
    PathSegments path_segments;
    if (!split_path("xml_file_write_new", path, path_segments)) return -1;

    TiXmlElement* element = nullptr;
    for (int i = 0; i < path_segments.count; ++i) {
        const char* name = path_segments.segment[i];
        TiXmlNode* parent = element ? static_cast<TiXmlNode*>(element) : doc;
        TiXmlElement* child = parent->FirstChildElement(name);
        if (!child) {
            child = parent->LinkEndChild(new TiXmlElement(name))->ToElement();
            if (i == 0)
                trace("create a new node named [%s]\n", name);
            else
                trace("new node name %s\n", name);
        }
        element = child;
    }
    if (!element) {
        trace("[ERROR!]:writer node failed, not find the target node : %s\n", path ? path : "");
        return -1;
    }

    const char* text = value ? value : "";
    if (attribute) {
        if (!attribute_name) return -1;
        element->SetAttribute(attribute_name, text);
        return 0;
    }
    TiXmlNode* first = element->FirstChild();
    if (first && first->ToText()) {
        first->SetValue(text);
    } else {
        // Only a text child can carry the value; anything else stays as it is.
        trace("[WAR]: the first child not found\n");
        trace("[WAR]: target->GetText() was %s\n", element->GetText() ? element->GetText() : "(null)");
        element->LinkEndChild(new TiXmlText(text));
    }
    return 0;
}

int xml_export_buffer(TiXmlDocument* doc, char* out, size_t capacity) {
    if (!doc || !out) return -1;
    trace("PRINTF DOCUMENT CONTENT:\n");
    trace_document(*doc);

    TiXmlPrinter printer;
    printer.SetIndent("    ");
    printer.SetLineBreak("\n");
    doc->Accept(&printer);
    const std::string& text = printer.Str();
    if (text.size() >= capacity) return -1;
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    return 0;
}

IXmlMessage::IXmlMessage(const char* name) {
    std::snprintf(m_name, sizeof m_name, "%s", name ? name : "");
}

IXmlMessage::~IXmlMessage() {
    if (m_doc) xml_file_close(m_doc);
    m_doc = nullptr;
}

uint32_t IXmlMessage::open_text(const char* text, int length) {
    if (length == -1) open_xml(text);
    return RC_OK;
}

uint32_t IXmlMessage::open_xml(const char* text) {
    if (m_doc) xml_file_close(m_doc);  // a second open replaces the document instead of leaking it
    m_doc = xml_file_open(text);
    write_version();
    return RC_OK;
}

uint32_t IXmlMessage::write_version() {
    if (!m_doc) return RC_FAIL;
    if (xml_file_write_new(m_doc, "1", "Message", true, "Version") != 0) {
        DEBUG_LOCATION("XmlMessage", "IXmlMessage::write_version");
        return RC_FAIL;
    }
    return RC_OK;
}

namespace {

struct SectionPath {
    char text[64];
    explicit SectionPath(const char* section) {
        std::snprintf(text, sizeof text, "Message.Header.%s", section ? section : "");
    }
};

} // namespace

uint32_t IXmlMessage::write_int(const char* section, const char* field_name, int32_t value) {
    if (!m_doc) {
        DEBUG_LOCATION("XmlMessage", "IXmlMessage::write_int");
        debug_log("xml object not opened\n");
        return RC_FAIL;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%d", value);
    if (xml_file_write_new(m_doc, text, SectionPath(section).text, true, field_name) != 0) {
        DEBUG_LOCATION("XmlMessage", "IXmlMessage::write_int");
        return RC_FAIL;
    }
    return RC_OK;
}

uint32_t IXmlMessage::write_string(const char* section, const char* field_name, const char* value) {
    if (!m_doc) {
        DEBUG_LOCATION("XmlMessage", "IXmlMessage::write_string");
        debug_log("xml object not opened\n");
        return RC_FAIL;
    }
    if (xml_file_write_new(m_doc, value, SectionPath(section).text, true, field_name) != 0) {
        DEBUG_LOCATION("XmlMessage", "IXmlMessage::write_string");
        return RC_FAIL;
    }
    return RC_OK;
}

uint32_t IXmlMessage::read_int(const char* section, const char* field_name, int32_t* value) {
    if (!m_doc) {
        DEBUG_LOCATION("XmlMessage", "IXmlMessage::read_int");
        debug_log("xml object not opened\n");
        return RC_FAIL;
    }
    const char* shown_name = field_name ? field_name : "";
    DEBUG_LOCATION("XmlMessage", "IXmlMessage::read_int");
    debug_log("filed_name == %s ", shown_name);

    char text[64] = {};  // a missing attribute leaves it empty, which reads as 0
    xml_file_read(m_doc, text, sizeof text, SectionPath(section).text, true, field_name);

    DEBUG_LOCATION("XmlMessage", "IXmlMessage::read_int");
    debug_log("filed_name == %s ", shown_name);

    int32_t result = 0;
    DEBUG_LOCATION("XmlMessage", "IXmlMessage::read_int");
    if (text[0] == '\0') {
        debug_log("the length is 0 \n");
    } else {
        result = xml_leading_int(text);
        debug_log("xml transfer %d\n", result);
    }
    if (value) *value = result;
    return RC_OK;
}

uint32_t IXmlMessage::read_string(const char* section, const char* field_name, char* value, size_t capacity) {
    if (!m_doc) {
        DEBUG_LOCATION("XmlMessage", "IXmlMessage::read_string");
        debug_log("xml object not opened\n");
        return RC_FAIL;
    }
    xml_file_read(m_doc, value, capacity, SectionPath(section).text, true, field_name);
    return RC_OK;
}

uint32_t IXmlMessage::export_xmlbuffer(char* out, size_t capacity) {
    if (!m_doc) {
        DEBUG_LOCATION("XmlMessage", "IXmlMessage::export_xmlbuffer");
        debug_log("xml object not opened\n");
        return RC_FAIL;
    }
    if (xml_export_buffer(m_doc, out, capacity) != 0) {
        DEBUG_LOCATION("XmlMessage", "IXmlMessage::export_xmlbuffer");
        return RC_FAIL;
    }
    return RC_OK;
}
