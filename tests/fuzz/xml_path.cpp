// The XML path functions the discovery messages are built on: splitting a path, reading and
// writing an element's attribute or text along it, printing the document, and the bounded
// number reader.
#include "discovery/XmlMessage.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tinyxml.h>

namespace {

// What atoi means for the number, clamped to 32 bits, read from a NUL-terminated copy.
int32_t reference_leading_int(std::string_view text) {
    const std::string copy(text.substr(0, text.find('\0')));
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

void check_split(const std::string& path) {
    const char* rest = path.c_str();
    const char* end = rest + std::strlen(rest);
    char segment[kXmlSegmentSize];
    for (int i = 0; rest && i < 1000; ++i) {
        std::memset(segment, 'x', sizeof segment);
        const char* next = xml_path_split(segment, rest);
        FUZZ_CHECK(std::memchr(segment, 0, sizeof segment) != nullptr);
        FUZZ_CHECK(next == nullptr || (next > rest && next <= end && next[-1] == '.'));
        rest = next;
    }
}

// A name the XML printer writes and the parser reads back as it is.
bool xml_name(std::string_view name) {
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-')) return false;
    return true;
}

bool xml_path_of_names(const std::string& path) {
    size_t count = 0;
    for (size_t start = 0;; ++count) {
        const size_t dot = path.find('.', start);
        const std::string_view segment = std::string_view(path).substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (!xml_name(segment) || segment.size() >= kXmlSegmentSize) return false;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return count + 1 < static_cast<size_t>(kXmlMaxSegments);
}

// Printable ASCII that the printer escapes and the parser unescapes exactly; '&' is left out
// because the printer passes "&#x..." sequences through unescaped.
bool plain_value(std::string_view value) {
    for (char c : value)
        if (c < 0x20 || c > 0x7e || c == '&') return false;
    return true;
}

// A fresh document, as the message encoders start one: written, printed, parsed and read.
void check_print_and_parse(const std::string& path, const std::string& name, const std::string& value) {
    if (!xml_path_of_names(path) || !xml_name(name) || !plain_value(value)) return;
    TiXmlDocument* doc = xml_file_open(nullptr);
    FUZZ_CHECK(xml_file_write_new(doc, value.c_str(), path.c_str(), true, name.c_str()) == 0);
    char printed[4096];
    const bool fits = xml_export_buffer(doc, printed, sizeof printed) == 0;
    xml_file_close(doc);
    if (!fits) return;
    static fuzz::GuardedText guarded(sizeof printed);
    TiXmlDocument* parsed = xml_file_open(guarded.place(printed));
    char read_back[256];
    FUZZ_CHECK(xml_file_read(parsed, read_back, sizeof read_back, path.c_str(), true, name.c_str()) == 0);
    FUZZ_CHECK(value == read_back);
    xml_file_close(parsed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const uint8_t flags = in.byte();
    const bool attribute = (flags & 1) != 0;
    const size_t capacity = 1 + (flags >> 1);  // 1 to 128
    const std::string path(in.text(in.byte()));
    const std::string name(in.text(in.byte()));
    const std::string value(in.text(in.byte()));
    const std::string document(in.text(in.remaining()));

    check_split(path);
    FUZZ_CHECK(xml_leading_int(value) == reference_leading_int(value));
    FUZZ_CHECK(xml_leading_int(document) == reference_leading_int(document));

    static fuzz::GuardedText guarded(4096);
    TiXmlDocument* doc = xml_file_open(guarded.place(document.c_str()));
    char out[128];
    if (xml_file_read(doc, out, capacity, path.c_str(), attribute, name.c_str()) == 0)
        FUZZ_CHECK(std::memchr(out, 0, capacity) != nullptr);

    // What was written along a path is what a read along it finds (for attributes: a text
    // value may sit behind other children, where it is documented not to count).
    if (xml_file_write_new(doc, value.c_str(), path.c_str(), attribute, name.c_str()) == 0 && attribute) {
        char read_back[256];
        FUZZ_CHECK(xml_file_read(doc, read_back, sizeof read_back, path.c_str(), true, name.c_str()) == 0);
        FUZZ_CHECK(std::strcmp(read_back, value.c_str()) == 0);
    }
    char printed[512];
    if (xml_export_buffer(doc, printed, capacity * 4) == 0) FUZZ_CHECK(std::strlen(printed) < capacity * 4);
    xml_file_close(doc);

    check_print_and_parse(path, name, value);
    return 0;
}
