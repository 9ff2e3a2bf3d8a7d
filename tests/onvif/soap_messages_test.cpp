// SOAP replies and faults, and the device service messages, as cameras send them.
#include "onvif/CapabilityMessages.h"
#include "onvif/DeviceMessages.h"
#include "onvif/Multipart.h"
#include "onvif/NetworkMessages.h"
#include "onvif/OnvifTestMessages.h"
#include "onvif/Soap.h"
#include "onvif/UsernameToken.h"

#include <gtest/gtest.h>

using namespace onvif;

namespace {

// The reply's body element, which must be there.
pugi::xml_node body(SoapReply& reply, const std::string& file) {
    const Result result = reply.parse(200, onvif_message(file));
    EXPECT_TRUE(result.ok()) << file << ": " << describe(result);
    return reply.body();
}

} // namespace

TEST(SoapReply, FaultsAndHttpErrorsBecomeTheKindsAJobActsOn) {
    const struct { int http; std::string text; Status status; std::string subcode; } rows[] = {
        {400, onvif_message("fault_not_authorized.xml"), Status::not_authorized, "NotAuthorized"},
        {500, onvif_message("fault_not_supported.xml"), Status::not_supported, "ActionNotSupported"},
        {400, onvif_message("fault_invalid_address.xml"), Status::bad_argument, "InvalidIPv4Address"},
        {500, onvif_message("fault_busy.xml"), Status::busy, "Action"},
        {500, onvif_message("fault_soap11.xml"), Status::fault, ""},
        {500, build_fault("Sender", "InvalidArgs", "missing argument"), Status::bad_argument, "InvalidArgs"},
        {503, build_fault("Receiver", "Action", "Action Failed"), Status::busy, "Action"},
        {401, "", Status::not_authorized, ""},
        {401, "<html>401 Unauthorized</html>", Status::not_authorized, ""},
        {503, "", Status::busy, ""},
        {404, "not found", Status::fault, ""},
        {200, "<html/>", Status::bad_reply, ""},
        {200, "<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'><s:Body/></s:Envelope>", Status::bad_reply, ""},
        {200, onvif_message("device_information.xml"), Status::ok, ""},
    };
    for (const auto& row : rows) {
        SoapReply reply;
        const Result result = reply.parse(row.http, row.text);
        EXPECT_EQ(result.status, row.status) << row.http << " " << row.text.substr(0, 120) << ": " << describe(result);
        EXPECT_EQ(result.subcode, row.subcode);
        EXPECT_EQ(result.ok(), !reply.body().empty());
    }
    SoapReply reply;
    const Result fault = reply.parse(400, onvif_message("fault_invalid_address.xml"));
    EXPECT_EQ(describe(fault), "bad argument (HTTP 400, Sender/InvalidIPv4Address: The suggested IPv4 address is invalid.)");
    std::string big = onvif_message("device_information.xml");
    big.insert(big.find("</d:Model>"), 2000, 'x');
    EXPECT_EQ(reply.parse(200, big, 2000).status, Status::bad_reply);
}

TEST(DeviceMessages, ReadClockIdentityScopesAndInterfaces) {
    SoapReply reply;
    SystemDateAndTime clock;
    ASSERT_TRUE(read_system_date_and_time(body(reply, "system_date_and_time.xml"), clock));
    EXPECT_EQ(clock.utc_seconds, 1284623445);  // 2010-09-16T07:50:45Z
    EXPECT_TRUE(clock.ntp);
    EXPECT_EQ(clock.time_zone, "CET-1CEST,M3.5.0,M10.5.0/3");

    DeviceInformation info;
    ASSERT_TRUE(read_device_information(body(reply, "device_information.xml"), info));
    EXPECT_EQ(info, (DeviceInformation{"Lumora", "IPC-B4 & Dome", "2.4.1 build 230501", "LB4-000123", "B4-REV2"}));

    std::vector<Scope> scopes;
    ASSERT_TRUE(read_scopes(body(reply, "scopes.xml"), scopes));
    EXPECT_EQ(scopes, (std::vector<Scope>{{true, "onvif://www.onvif.org/hardware/IPC-B4"},
                                          {false, "onvif://www.onvif.org/name/Loading%20Bay%202"}}));

    std::vector<NetworkInterface> nics;
    ASSERT_TRUE(read_network_interfaces(body(reply, "network_interfaces.xml"), nics));
    const std::vector<NetworkInterface> expected = {
        {"eth0", "eth0", "00:1A:2B:3C:4D:5E", true, true, false, {{"10.77.1.5", 16}}, Ipv4Address{"10.77.200.7", 24},
         Ipv4Address{"169.254.10.20", 16}},
        {"wlan0", "", "00:1A:2B:3C:4D:5F", false, true, true, {}, Ipv4Address{"192.0.2.44", 24}, std::nullopt}};
    EXPECT_EQ(nics, expected);
    EXPECT_EQ(nics.at(0).current_address(), (Ipv4Address{"10.77.1.5", 16}));
    EXPECT_EQ(nics.at(1).current_address(), (Ipv4Address{"192.0.2.44", 24}));

    // A clock out of range cannot sign anything.
    EXPECT_FALSE(read_system_date_and_time(body(reply, "system_date_and_time_hour24.xml"), clock));
}

TEST(DeviceMessages, ReadServicesAndCapabilities) {
    SoapReply reply;
    std::vector<Service> services;
    ASSERT_TRUE(read_services(body(reply, "services.xml"), services));
    EXPECT_EQ(services, (std::vector<Service>{{"http://www.onvif.org/ver10/device/wsdl", "http://10.77.1.5/onvif/device_service", 21, 12},
                                              {"http://www.onvif.org/ver10/media/wsdl", "http://10.77.1.5/onvif/media_service", 2, 60}}));
    Capabilities caps;
    ASSERT_TRUE(read_capabilities(body(reply, "capabilities.xml"), caps));
    EXPECT_EQ(caps, (Capabilities{"http://10.77.1.5/onvif/device_service", "http://10.77.1.5/onvif/media_service", "", "", "", true}));
    DeviceServiceCapabilities service;
    ASSERT_TRUE(read_service_capabilities(body(reply, "service_capabilities.xml"), service));
    EXPECT_EQ(service, (DeviceServiceCapabilities{true, true, false, false, true, true, {"MD5", "SHA-256"}, 16}));
}

// The Content-Type of an XOP message as other clients write it: parameters quoted or not, in
// any order and case; a boundary that is missing or too long makes it unreadable.
TEST(Multipart, TypeParametersAsClientsWriteThem) {
    const struct { std::string header; bool ok; const char* boundary; const char* start; } rows[] = {
        {R"(multipart/related; type="application/xop+xml"; start="<root@x>"; boundary="uuid:0a1b-2c=3d")", true, "uuid:0a1b-2c=3d", "root@x"},
        {"Multipart/Related;boundary=MIME_b;Start=<r>;type=application/xop+xml", true, "MIME_b", "r"},
        {R"(multipart/related; start-info="application/soap+xml"; boundary="a\=b")", true, "a=b", ""},
        {R"(multipart/related; boundary="q\"x")", false, "", ""},  // a quote is no boundary character
        {R"(multipart/related; type="application/xop+xml")", false, "", ""},
        {"multipart/related; boundary=" + std::string(71, 'b'), false, "", ""},
        {"multipart/mixed; boundary=b", false, "", ""},
        {R"(multipart/related; boundary="open)", false, "", ""},
    };
    for (const auto& row : rows) {
        MultipartType type;
        EXPECT_EQ(parse_multipart_type(row.header, type), row.ok) << row.header;
        if (row.ok) {
            EXPECT_EQ(type.boundary + " " + type.start, std::string(row.boundary) + " " + row.start);
        }
    }
}

// Our own framing read back part by part: every shorter prefix asks for more, never reads as
// parts, and another boundary or an endless part header is refused.
TEST(Multipart, LeadingPartsAreReadOnlyWhenWholeAndBounded) {
    const XopFraming framing = xop_framing("<e/>", "act", "b-7", "root@t", "image@t");
    std::vector<MimePart> parts;
    size_t consumed = 0;
    const std::string message = framing.prefix + "IMAGE";  // the parts' bodies point into it
    ASSERT_EQ(read_leading_parts(message, "b-7", 2, parts, consumed), MultipartStatus::ok);
    EXPECT_EQ(parts[0].content_id + " " + std::string(parts[0].body) + " " + parts[1].content_id, "root@t <e/> image@t");
    EXPECT_EQ(parts[0].content_type.rfind("application/xop+xml", 0), 0u);
    EXPECT_EQ(consumed, framing.prefix.size());
    for (size_t n = 0; n < framing.prefix.size(); ++n)
        ASSERT_EQ(read_leading_parts(framing.prefix.substr(0, n), "b-7", 2, parts, consumed), MultipartStatus::need_more) << n;
    EXPECT_EQ(read_leading_parts("preamble\r\n" + framing.prefix, "b-7", 2, parts, consumed), MultipartStatus::ok);
    EXPECT_EQ(read_leading_parts(framing.prefix, "b-8", 2, parts, consumed), MultipartStatus::need_more) << "no delimiter of b-8 yet";
    EXPECT_EQ(read_leading_parts("--b-7--\r\n", "b-7", 1, parts, consumed), MultipartStatus::bad);
    EXPECT_EQ(read_leading_parts("--b-7\r\nX-Long: " + std::string(kMaxPartHead, 'x'), "b-7", 1, parts, consumed), MultipartStatus::bad);
}
