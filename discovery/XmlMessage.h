#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

class TiXmlDocument;

// XML path functions: paths name nested elements joined with "." ("Message.Header.X"); at
// each level the first child element of that name is taken. At most 9 levels.
constexpr size_t kXmlSegmentSize = 64;
constexpr int kXmlMaxSegments = 10;

// Their progress messages and document printouts go to this stream; none by default, since
// the tool's own standard output (the command line's JSON, say) must not carry them.
void xml_set_trace(FILE* stream);

TiXmlDocument* xml_file_open(const char* text);  // null text: a document holding only the declaration
int xml_file_close(TiXmlDocument* doc);           // -1 for no document
const char* xml_path_split(char* segment, const char* path);
int xml_file_read(TiXmlDocument* doc, char* out, size_t capacity, const char* path, bool attribute, const char* attribute_name);
int xml_file_write_new(TiXmlDocument* doc, const char* value, const char* path, bool attribute, const char* attribute_name);
int xml_export_buffer(TiXmlDocument* doc, char* out, size_t capacity);

// The leading decimal number of a text as atoi reads it (white space, sign, digits), but
// never looking past text.size(); values beyond 32 bits are clamped, and then *fits (when
// given) is false.
int32_t xml_leading_int(std::string_view text, bool* fits = nullptr);

// One discovery message: its record as attributes of the element "Message.Header.<name>".
// An object serves one datagram: opened once by FromMe or ToMe, then destroyed.
class IXmlMessage {
public:
    explicit IXmlMessage(const char* name);
    virtual ~IXmlMessage();
    IXmlMessage(const IXmlMessage&) = delete;
    IXmlMessage& operator=(const IXmlMessage&) = delete;

    // Opens the document from a NUL-terminated text, only when length is -1.
    virtual uint32_t open_text(const char* text, int length);
    // Encodes the record into out_text; *length holds the capacity on entry and the text's
    // length (without NUL) on success. Non-zero and *length unchanged when it does not fit.
    virtual uint32_t FromMe(const void* record, char* out_text, int* length) = 0;
    // Fills the record (record_size bytes of buffer) from a received text of text.size()
    // bytes, which need not be NUL-terminated. 0 when the record is valid.
    virtual uint32_t ToMe(std::string_view text, void* record, size_t record_size) = 0;

    const char* name() const { return m_name; }

protected:
    uint32_t open_xml(const char* text);
    uint32_t write_version();
    uint32_t write_int(const char* section, const char* field_name, int32_t value);
    uint32_t write_string(const char* section, const char* field_name, const char* value);
    uint32_t read_int(const char* section, const char* field_name, int32_t* value);
    uint32_t read_string(const char* section, const char* field_name, char* value, size_t capacity);
    uint32_t export_xmlbuffer(char* out, size_t capacity);

    TiXmlDocument* m_doc = nullptr;
    char m_name[64] = {};
};
