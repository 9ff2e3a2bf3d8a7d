// The requests a job sends, read back as a camera reads them, and the answers to them as
// cameras send them.
#include "onvif/DeviceReplies.h"
#include "onvif/FirmwareMessages.h"
#include "onvif/NetworkSettings.h"
#include "onvif/OnvifCamera.h"
#include "onvif/OnvifTestMessages.h"
#include "onvif/Soap.h"
#include "onvif/SystemMessages.h"
#include "onvif/UserMessages.h"
#include "onvif/UsernameToken.h"

#include <gtest/gtest.h>

using namespace onvif;

namespace {

// The operation's descendants in document order, "tt:Name=text" for a leaf, as the camera's
// parser meets them: order, namespace prefix (as the envelope declares it) and value in one line.
std::string outline(const Request& request) {
    SoapRequest parsed;
    EXPECT_EQ(parsed.parse(build_request(request.body)), XmlStatus::ok);
    std::string line(local_name(parsed.operation().name()));
    EXPECT_EQ(line, request.operation) << "the action names the body's element";
    for (const pugi::xpath_node& n : parsed.operation().select_nodes("descendant::*"))
        line += " " + std::string(n.node().name()) + (first_element(n.node()) ? "" : "=" + text_of(n.node()));
    return line;
}

pugi::xml_node body(SoapReply& reply, const std::string& text) {
    const Result result = reply.parse(200, text);
    EXPECT_TRUE(result.ok()) << describe(result);
    return reply.body();
}

} // namespace

TEST(WriteRequests, CarryTheirArgumentsInTheSchemasOrder) {
    const int64_t t2030 = days_from_civil(2030, 1, 2) * 86400 + 3 * 3600 + 4 * 60 + 5;
    const struct { Request request; std::string outline; } rows[] = {
        {set_system_date_and_time({t2030, "CST-8", true}),
         "SetSystemDateAndTime tds:DateTimeType=Manual tds:DaylightSavings=true tds:TimeZone tt:TZ=CST-8 tds:UTCDateTime tt:Time "
         "tt:Hour=3 tt:Minute=4 tt:Second=5 tt:Date tt:Year=2030 tt:Month=1 tt:Day=2"},
        {set_system_date_and_time({0, "", false}),
         "SetSystemDateAndTime tds:DateTimeType=Manual tds:DaylightSavings=false tds:UTCDateTime tt:Time tt:Hour=0 tt:Minute=0 "
         "tt:Second=0 tt:Date tt:Year=1970 tt:Month=1 tt:Day=1"},
        {set_network_interfaces({"eth0", true, false, Ipv4Address{"10.77.5.5", 24}}),
         "SetNetworkInterfaces tds:InterfaceToken=eth0 tds:NetworkInterface tt:IPv4 tt:Enabled=true tt:Manual "
         "tt:Address=10.77.5.5 tt:PrefixLength=24 tt:DHCP=false"},
        {set_network_interfaces({"eth0", true, true, std::nullopt}),
         "SetNetworkInterfaces tds:InterfaceToken=eth0 tds:NetworkInterface tt:IPv4 tt:Enabled=true tt:DHCP=true"},
        {set_network_default_gateway("10.77.0.254"), "SetNetworkDefaultGateway tds:IPv4Address=10.77.0.254"},
        {set_network_default_gateway(""), "SetNetworkDefaultGateway"},
        {set_user({"ad<min", "Operator"}, "p&ss \"1\""),
         "SetUser tds:User tt:Username=ad<min tt:Password=p&ss \"1\" tt:UserLevel=Operator"},
        {set_system_factory_default(FactoryDefault::hard), "SetSystemFactoryDefault tds:FactoryDefault=Hard"},
        {start_firmware_upgrade(), "StartFirmwareUpgrade"},
    };
    for (const auto& row : rows) EXPECT_EQ(outline(row.request), row.outline) << row.request.operation;
}

TEST(WriteReplies, ReadAsCamerasSendThem) {
    SoapReply reply;
    FirmwareUpgradeStart start;
    ASSERT_TRUE(read_start_firmware_upgrade(body(reply, onvif_message("start_firmware_upgrade.xml")), "http://10.77.1.5/onvif/device_service", start));
    EXPECT_EQ(start, (FirmwareUpgradeStart{"http://10.77.1.5/onvif/firmware/2f9c41d0", 5000, 150000}));
    // A bare path is on the device service's host and port.
    ASSERT_TRUE(read_start_firmware_upgrade(body(reply, build_response(start_firmware_upgrade_response("/fw/1", 0, 60))),
                                            "http://10.77.1.5:8080/onvif/device_service", start));
    EXPECT_EQ(start, (FirmwareUpgradeStart{"http://10.77.1.5:8080/fw/1", 0, 60000}));
    EXPECT_FALSE(read_start_firmware_upgrade(body(reply, build_response(start_firmware_upgrade_response("", 0, 60))), "http://h/", start));
    // The image and a digest answer go to the camera alone, whatever host it names.
    EXPECT_FALSE(read_start_firmware_upgrade(body(reply, onvif_message("start_firmware_upgrade.xml")),
                                             "http://10.77.1.6/onvif/device_service", start));

    // Nor does a login go to an XAddr on a host other than the one the camera speaks from.
    OnvifCamera camera;
    camera.source_address = "10.77.1.5";
    camera.xaddrs = {"http://camera.example/onvif", "http://192.0.2.9/onvif", "http://10.77.1.5:8080/onvif"};
    EXPECT_EQ(first_http_xaddr(camera), "http://10.77.1.5:8080/onvif");
    camera.xaddrs.pop_back();
    EXPECT_EQ(first_http_xaddr(camera), "");

    std::vector<UserAccount> users;
    ASSERT_TRUE(read_users(body(reply, onvif_message("users.xml")), users));
    EXPECT_EQ(users, (std::vector<UserAccount>{{"admin", "Administrator"}, {"viewer", "User"}}));

    bool reboot_needed = true;
    EXPECT_TRUE(read_set_network_interfaces(body(reply, onvif_message("set_network_interfaces.xml")), reboot_needed) && !reboot_needed);
    EXPECT_TRUE(read_set_network_interfaces(body(reply, build_response(empty_response("SetNetworkInterfaces"))), reboot_needed) &&
                reboot_needed) << "left out: a reboot applies the change either way";

    std::vector<std::string> gateways;
    ASSERT_TRUE(read_network_default_gateway(body(reply, onvif_message("network_default_gateway.xml")), gateways));
    EXPECT_EQ(gateways, std::vector<std::string>{"10.77.0.254"});

    std::string message;
    ASSERT_TRUE(read_system_reboot(body(reply, onvif_message("system_reboot.xml")), message));
    EXPECT_EQ(message, "Rebooting in 30 seconds");
}

TEST(WriteReplies, DurationsReadToMillisecondsWithinTheirBound) {
    // -1: refused
    const struct { const char* text; int64_t ms; } rows[] = {
        {"PT0S", 0},        {"PT30S", 30000},     {"PT1M30S", 90000}, {"PT2H", 7200000},     {"P1D", 86400000},
        {"PT1.5S", 1500},   {"PT0.0001S", 1},     {"PT59M60S", 3600000}, {"P0DT1H0M1S", 3601000}, {"P1DT1S", -1},
        {"PT86401S", -1},   {"P1M", -1},          {"P1Y", -1},        {"-PT5S", -1},         {"PT", -1},
        {"P", -1},          {"PT5", -1},          {"PT5M5H", -1},     {"PT1.5M", -1},        {"P1DT", -1},
        {"PT1234567890S", -1}, {"pt5s", -1},      {"PT5S ", -1},      {"PTS", -1},
    };
    for (const auto& row : rows) {
        int64_t ms = -1;
        EXPECT_EQ(parse_duration(row.text, ms), row.ms >= 0) << row.text;
        EXPECT_EQ(ms, row.ms) << row.text;
    }
}
