// Bounded XML reading and the WS-Discovery codec, against real-looking messages.
#include "onvif/BoundedXml.h"
#include "onvif/Namespaces.h"
#include "onvif/Scopes.h"
#include "onvif/WsDiscovery.h"
#include "onvif/OnvifTestMessages.h"

#include <gtest/gtest.h>

using namespace onvif;

namespace {

std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
}

} // namespace

TEST(BoundedXml, RefusesWhatExceedsItsBoundsAndNeverExpandsEntities) {
    const std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"lol\"><!ENTITY b \"&a;&a;&a;&a;\">]><l>&b;</l>";
    const std::string external = "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r>&x;</r>";
    std::string attributes = "<a";
    for (int i = 0; i <= 64; ++i) attributes += " x" + std::to_string(i) + "=\"\"";
    attributes += "/>";
    const struct { std::string text; size_t limit; XmlStatus expected; } rows[] = {
        {"<a>fits</a>", 11, XmlStatus::ok},
        {"<a>fits</a>", 10, XmlStatus::too_large},
        {"<a><b></a>", 100, XmlStatus::malformed},
        {"", 100, XmlStatus::malformed},
        {"just text", 100, XmlStatus::malformed},
        {laughs, 1000, XmlStatus::doctype},
        {external, 1000, XmlStatus::doctype},
        {nested(kMaxXmlDepth), 1000, XmlStatus::ok},
        {nested(kMaxXmlDepth + 1), 1000, XmlStatus::too_deep},
        {nested(100000), 2000000, XmlStatus::too_deep},
        {attributes, 2000, XmlStatus::too_many_attributes},
    };
    for (const auto& row : rows) {
        XmlDocument doc;
        EXPECT_EQ(doc.parse(row.text, row.limit), row.expected) << row.text.substr(0, 60);
        EXPECT_EQ(!doc.root().empty(), row.expected == XmlStatus::ok);
    }
    // Without a declaration an entity reference is inert text, never a lookup.
    XmlDocument doc;
    ASSERT_EQ(doc.parse("<r>&x;&lt;&#65;</r>", 100), XmlStatus::ok);
    EXPECT_EQ(text_of(doc.root()), "&x;<A");
}

TEST(BoundedXml, FindsElementsByNamespaceWhateverThePrefix) {
    XmlDocument doc;
    ASSERT_EQ(doc.parse("<x:r xmlns:x='urn:a' xmlns='urn:b'><x:k>1</x:k><k>2</k><y:k xmlns:y='urn:a'>3</y:k><z:k>4</z:k></x:r>", 1000),
              XmlStatus::ok);
    const pugi::xml_node r = doc.root();
    EXPECT_TRUE(is_element(r, "urn:a", "r"));
    EXPECT_EQ(child_text(r, "urn:b", "k"), "2");
    const pugi::xml_node first = child(r, "urn:a", "k");
    EXPECT_EQ(text_of(first), "1");
    EXPECT_EQ(text_of(next_same(first)), "3");
    EXPECT_TRUE(next_same(next_same(first)).empty());  // z: is undeclared
    EXPECT_TRUE(child(r, "urn:c", "k").empty());
}

TEST(WsDiscovery, ReadsProbeMatchesHelloAndByeAsCamerasSendThem) {
    WsdMessage m;
    ASSERT_EQ(parse_discovery(onvif_message("probe_matches.xml"), m), WsdStatus::ok);
    EXPECT_EQ(m.kind, WsdKind::probe_matches);
    EXPECT_EQ(m.relates_to, "urn:uuid:0a6dc791-2e16-4a62-9a1b-6a2c1b3e4f50");
    EXPECT_EQ(m.sequence.instance_id, 1712u);
    ASSERT_EQ(m.endpoints.size(), 1u);
    const WsdEndpoint& e = m.endpoints[0];
    WsdEndpoint expected{"urn:uuid:5f2e8a10-1dd2-11b2-a105-001a2b3c4d5e",
                         {{ns::kNetworkWsdl, "NetworkVideoTransmitter"}, {ns::kDevice, "Device"}}, e.scopes,
                         {"http://10.77.1.5/onvif/device_service", "http://[fe80::21a:2bff:fe3c:4d5e]/onvif/device_service"}, 10};
    EXPECT_EQ(e, expected);
    EXPECT_EQ(e.scopes.size(), 6u);
    EXPECT_EQ(scope_value(e.scopes, "name"), "Loading Bay 2");
    EXPECT_EQ(scope_value(e.scopes, "Hardware"), "IPC-B4");
    EXPECT_EQ(scope_value(e.scopes, "location"), "country/sweden");
    EXPECT_EQ(scope_mac(e.scopes), "00:1A:2B:3C:4D:5E");

    ASSERT_EQ(parse_discovery(onvif_message("hello.xml"), m), WsdStatus::ok);
    EXPECT_EQ(m.kind, WsdKind::hello);
    EXPECT_TRUE(has_onvif_type(m.endpoints.at(0)));
    EXPECT_EQ(scope_mac(m.endpoints[0].scopes), "AA:BB:CC:DD:EE:FF");
    EXPECT_EQ(m.endpoints[0].xaddrs.at(0), "http://10.77.1.9:8080/onvif/device_service");

    ASSERT_EQ(parse_discovery(onvif_message("bye.xml"), m), WsdStatus::ok);
    EXPECT_EQ(m.kind, WsdKind::bye);
    EXPECT_EQ(m.sequence.message_number, 2u);
    EXPECT_EQ(m.endpoints.at(0).address, "urn:uuid:11223344-5566-4788-99aa-bbccddeeff00");
}

TEST(WsDiscovery, WhatTheSimulatorWillSendReadsBackAsSent) {
    WsdEndpoint a{"urn:uuid:aaaaaaaa-0000-4000-8000-000000000001", onvif_device_types(),
                  {onvif_scope("name", "Yard 50% east"), onvif_scope("MAC", "00:1A:2B:00:00:01")},
                  {"http://10.77.1.1/onvif/device_service", "http://10.78.1.1/onvif/device_service"}, 3};
    WsdEndpoint b = a;
    b.address = "urn:uuid:bbbbbbbb-0000-4000-8000-000000000002";
    b.types.push_back({"urn:vendor", "Thermal"});
    const std::string probe_id = new_message_id();
    ASSERT_EQ(probe_id.size(), 45u);

    WsdMessage m;
    ASSERT_EQ(parse_discovery(build_probe(probe_id, onvif_device_types()), m), WsdStatus::ok);
    EXPECT_EQ(m.kind, WsdKind::probe);
    EXPECT_EQ(m.message_id, probe_id);
    EXPECT_EQ(m.endpoints.at(0).types, onvif_device_types());

    ASSERT_EQ(parse_discovery(build_probe_matches(new_message_id(), probe_id, {7, 3}, {a, b}), m), WsdStatus::ok);
    EXPECT_EQ(m.endpoints, (std::vector<WsdEndpoint>{a, b}));
    EXPECT_EQ(scope_value(m.endpoints[0].scopes, "name"), "Yard 50% east");
    ASSERT_EQ(parse_discovery(build_hello(new_message_id(), {7, 4}, a), m), WsdStatus::ok);
    EXPECT_EQ(m.endpoints.at(0).metadata_version, 3u);
    ASSERT_EQ(parse_discovery(build_bye(new_message_id(), {7, 5}, a), m), WsdStatus::ok);
    EXPECT_EQ(m.kind, WsdKind::bye);
    EXPECT_EQ(m.endpoints.at(0).address, a.address);
}

TEST(WsDiscovery, RefusesDatagramsThatAreNotOrNotWholeDiscoveryMessages) {
    const std::string no_address = build_bye("urn:uuid:1", {}, WsdEndpoint{});
    const std::string many = onvif_message("probe_matches_20.xml");
    const struct { std::string text; WsdStatus expected; } rows[] = {
        {"not xml", WsdStatus::bad_xml},
        {std::string(kMaxDatagramBytes + 1, ' '), WsdStatus::bad_xml},
        {onvif_message("device_information.xml"), WsdStatus::not_discovery},
        {"<Envelope><Body><Hello/></Body></Envelope>", WsdStatus::not_discovery},
        {no_address, WsdStatus::bad_message},
        {many, WsdStatus::ok},
    };
    for (const auto& row : rows) {
        WsdMessage m;
        EXPECT_EQ(parse_discovery(row.text, m), row.expected) << row.text.substr(0, 80);
    }
    WsdMessage m;
    parse_discovery(many, m);
    EXPECT_EQ(m.endpoints.size(), kMaxProbeMatches);
}

TEST(Scopes, ReadsValuesAndMacAddressesInTheirUsualSpellings) {
    const struct { std::vector<std::string> scopes; std::string name, mac; } rows[] = {
        {{"onvif://www.onvif.org/name/My%20Camera"}, "My Camera", ""},
        {{"ONVIF://www.onvif.org/NAME/a%2"}, "a%2", ""},
        {{"onvif://www.onvif.org/namex/no", "http://www.onvif.org/name/no"}, "", ""},
        {{"onvif://www.onvif.org/MAC/001a2b3c4d5e"}, "", "00:1A:2B:3C:4D:5E"},
        {{"onvif://www.onvif.org/mac/00%3A1a%3A2b%3A3c%3A4d%3A5e"}, "", "00:1A:2B:3C:4D:5E"},
        {{"onvif://www.onvif.org/MAC/00:1A:2B", "onvif://www.onvif.org/MacAddress/00-1A-2B-3C-4D-5F"}, "", "00:1A:2B:3C:4D:5F"},
        {{"onvif://www.onvif.org/MAC/0:01A:2B:3C:4D:5E", "onvif://www.onvif.org/MAC/001A2B3C4D5E77"}, "", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(scope_value(row.scopes, "name"), row.name) << row.scopes[0];
        EXPECT_EQ(scope_mac(row.scopes), row.mac) << row.scopes[0];
    }
}
