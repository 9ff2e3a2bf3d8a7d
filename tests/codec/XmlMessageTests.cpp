#include "discovery/XmlMessage.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

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
    char out[16];
    EXPECT_EQ(xml_file_write_new(doc.get(), "v", nine, true, "x"), 0);
    EXPECT_EQ(xml_file_read(doc.get(), out, sizeof out, nine, true, "x"), 0);
    EXPECT_STREQ(out, "v");
    EXPECT_EQ(xml_file_write_new(doc.get(), "v", ten, true, "x"), -1);
    EXPECT_EQ(xml_file_read(doc.get(), out, sizeof out, ten, true, "x"), -1);
}

TEST(XmlPath, WriteCreatesMissingElementsOnceAndReplacesAttributes) {
    auto doc = open_doc();
    EXPECT_EQ(xml_file_write_new(doc.get(), "1", "Message.Header.M", true, "a"), 0);
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
    int32_t value = 5;
    char text[8] = "keep";
    EXPECT_EQ(probe.write_version(), 1u);
    EXPECT_EQ(probe.write_int("Probe", "a", 1) + probe.write_string("Probe", "a", "x") +
                  probe.read_int("Probe", "a", &value) + probe.read_string("Probe", "a", text, sizeof text) +
                  probe.export_xmlbuffer(text, sizeof text), 5u);
    EXPECT_EQ(value, 5);
    EXPECT_STREQ(text, "keep");

    EXPECT_EQ(probe.open_text("<Message />", 11), 0u);
    EXPECT_FALSE(probe.opened());
    EXPECT_EQ(probe.open_text("<Message />", -1), 0u);
    EXPECT_TRUE(probe.opened());
}

// The diagnostic lines each operation writes are no promise.
TEST(XmlMessageOps, ReadIntTakesTheLeadingNumberAndTreatsMissingAsZero) {
    const std::pair<const char*, int32_t> cases[] = {{"port", 42}, {"spaced", -7}, {"word", 0}, {"missing", 0}};
    for (const auto& [field, expected] : cases) {
        Probe probe;
        probe.open_xml(kProbeText);
        int32_t value = 99;
        EXPECT_EQ(probe.read_int("Probe", field, &value), 0u) << field;
        EXPECT_EQ(value, expected) << field;
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
