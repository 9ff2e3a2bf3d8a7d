#include "discovery/XmlMessage.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Collects what the XML path functions print while it lives.
class TraceCapture {
public:
    TraceCapture() : m_stream(open_memstream(&m_data, &m_size)) { xml_set_trace(m_stream); }
    ~TraceCapture() { xml_set_trace(nullptr); std::fclose(m_stream); std::free(m_data); }
    std::string text() { std::fflush(m_stream); return std::string(m_data, m_size); }
private:
    char* m_data = nullptr;
    size_t m_size = 0;
    FILE* m_stream;
};

using Doc = std::unique_ptr<TiXmlDocument, int (*)(TiXmlDocument*)>;
Doc open_doc(const char* text = nullptr) { return Doc(xml_file_open(text), xml_file_close); }

// Exposes the protected operations of the base class.
class Probe : public IXmlMessage {
public:
    Probe() : IXmlMessage("Probe") {}
    using IXmlMessage::export_xmlbuffer, IXmlMessage::open_xml, IXmlMessage::read_int, IXmlMessage::read_string,
        IXmlMessage::write_int, IXmlMessage::write_string, IXmlMessage::write_version;
    uint32_t FromMe(const void*, char*, int*) override { return 0; }
    uint32_t ToMe(std::string_view, void*, size_t) override { return 0; }
    bool opened() const { return m_doc != nullptr; }
};

constexpr const char* kProbeText =
    R"(<Message><Header><Probe port="42" spaced=" -7x" word="abc" long="0123456789" /></Header></Message>)";

} // namespace

TEST(XmlPath, PathsOfTenLevelsAreRefusedNineWork) {
    const char* nine = "a.b.c.d.e.f.g.h.i";
    const char* ten = "a.b.c.d.e.f.g.h.i.j";
    auto doc = open_doc();
    TraceCapture trace;
    char out[16];
    EXPECT_EQ(xml_file_write_new(doc.get(), "v", nine, true, "x"), 0);
    EXPECT_EQ(xml_file_read(doc.get(), out, sizeof out, nine, true, "x"), 0);
    EXPECT_STREQ(out, "v");
    EXPECT_EQ(xml_file_write_new(doc.get(), "v", ten, true, "x"), -1);
    EXPECT_EQ(xml_file_read(doc.get(), out, sizeof out, ten, true, "x"), -1);
    const std::string printed = trace.text();
    EXPECT_NE(printed.find("xml_file_write_new: node level too deep, path = a.b.c.d.e.f.g.h.i.j\n"), std::string::npos);
    EXPECT_NE(printed.find("xml_file_read: node level too deep, path = a.b.c.d.e.f.g.h.i.j\n"), std::string::npos);
}

TEST(XmlPath, WriteCreatesMissingElementsOnceAndReplacesAttributes) {
    auto doc = open_doc();
    TraceCapture trace;
    EXPECT_EQ(xml_file_write_new(doc.get(), "1", "Message.Header.M", true, "a"), 0);
    EXPECT_EQ(trace.text(), "create a new node named [Message]\nnew node name Header\nnew node name M\n");
    EXPECT_EQ(xml_file_write_new(doc.get(), "2", "Message.Header.M", true, "a"), 0);
    EXPECT_EQ(xml_file_write_new(doc.get(), "x&y", "Message.Header.M", true, "b"), 0);
    char out[256];
    ASSERT_EQ(xml_export_buffer(doc.get(), out, sizeof out), 0);
    EXPECT_STREQ(out, "<?xml version=\"1.0\" ?>\n<Message>\n    <Header>\n"
                      "        <M a=\"2\" b=\"x&amp;y\" />\n    </Header>\n</Message>\n");
}

// That it reads like atoi within the view is the xml_path fuzz target's promise; whether the
// number fitted is not.
TEST(XmlPath, LeadingIntSaysWhenItClamped) {
    struct Case { std::string_view text; int32_t value; bool fits; };
    const Case cases[] = {{"2147483647", 2147483647, true}, {"-2147483648", -2147483647 - 1, true},
                          {"2147483648", 2147483647, false}, {"-99999999999", -2147483647 - 1, false}};
    for (const auto& c : cases) {
        bool fits = !c.fits;
        EXPECT_EQ(xml_leading_int(c.text, &fits), c.value) << c.text;
        EXPECT_EQ(fits, c.fits) << c.text;
    }
}

TEST(XmlMessageOps, EveryOperationNeedsAnOpenDocument) {
    Probe probe;
    LogCapture log;
    int32_t value = 5;
    char text[8] = "keep";
    EXPECT_EQ(probe.write_version(), 1u);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(probe.write_int("Probe", "a", 1) + probe.write_string("Probe", "a", "x") +
                  probe.read_int("Probe", "a", &value) + probe.read_string("Probe", "a", text, sizeof text) +
                  probe.export_xmlbuffer(text, sizeof text), 5u);
    EXPECT_EQ(log.count("xml object not opened\n"), 5u);
    EXPECT_TRUE(log.contains("[XmlMessage : IXmlMessage::write_int] "));
    EXPECT_EQ(value, 5);
    EXPECT_STREQ(text, "keep");

    EXPECT_EQ(probe.open_text("<Message />", 11), 0u);
    EXPECT_FALSE(probe.opened());
    EXPECT_EQ(probe.open_text("<Message />", -1), 0u);
    EXPECT_TRUE(probe.opened());
}

TEST(XmlMessageOps, ReadIntTakesTheLeadingNumberAndTreatsMissingAsZero) {
    struct Case { const char* field; int32_t value; const char* result_line; };
    const Case cases[] = {{"port", 42, "xml transfer 42\n"}, {"spaced", -7, "xml transfer -7\n"},
                          {"word", 0, "xml transfer 0\n"}, {"missing", 0, "the length is 0 \n"}};
    for (const auto& c : cases) {
        Probe probe;
        probe.open_xml(kProbeText);
        LogCapture log;
        int32_t value = 99;
        EXPECT_EQ(probe.read_int("Probe", c.field, &value), 0u) << c.field;
        EXPECT_EQ(value, c.value) << c.field;
        const auto lines = log.lines();
        ASSERT_EQ(lines.size(), 6u) << c.field;
        EXPECT_EQ(lines[1], std::string("filed_name == ") + c.field + " ");
        EXPECT_EQ(lines[3], lines[1]);
        EXPECT_EQ(lines[4].rfind("[XmlMessage : IXmlMessage::read_int] ", 0), 0u);
        EXPECT_EQ(lines[5], c.result_line);
    }
}

TEST(XmlMessageOps, ReadStringCutsToCapacityAndKeepsTextWhenMissing) {
    Probe probe;
    probe.open_xml(kProbeText);
    char text[5] = "keep";
    EXPECT_EQ(probe.read_string("Probe", "missing", text, sizeof text), 0u);
    EXPECT_STREQ(text, "keep");
    EXPECT_EQ(probe.read_string("Probe", "long", text, sizeof text), 0u);
    EXPECT_STREQ(text, "0123");
}
