// The requests a job sends, read back as a camera reads them, and the answers to them as
// cameras send them.
#include "onvif/DeviceReplies.h"
#include "onvif/FirmwareMessages.h"
#include "onvif/Namespaces.h"
#include "onvif/NetworkSettings.h"
#include "onvif/OnvifTestMessages.h"
#include "onvif/Soap.h"
#include "onvif/SystemMessages.h"
#include "onvif/UserMessages.h"
#include "onvif/UsernameToken.h"

#include <gtest/gtest.h>

using namespace onvif;

namespace {

// The operation's descendants in document order, "tds:Name" or "tt:Name=text", as the
// camera's parser meets them: order, namespace and value in one line.
std::string outline(const Request& request) {
    SoapRequest parsed;
    EXPECT_EQ(parsed.parse(build_request(request.body)), XmlStatus::ok);
    std::string line = std::string(local_name(parsed.operation().name()));
    auto walk = [&](auto&& self, pugi::xml_node node) -> void {
        for (pugi::xml_node e = first_element(node); e; e = e.next_sibling()) {
            if (e.type() != pugi::node_element) continue;
            const std::string_view qualified = e.name();
            const size_t colon = qualified.find(':');
            const std::string_view uri = namespace_uri(e, colon == std::string_view::npos ? "" : qualified.substr(0, colon));
            line += std::string(" ") + (uri == ns::kDevice ? "tds:" : uri == ns::kSchema ? "tt:" : "?:") + std::string(local_name(e.name()));
            if (!first_element(e)) line += "=" + text_of(e);
            self(self, e);
        }
    };
    walk(walk, parsed.operation());
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
        {set_system_factory_default(FactoryDefault::soft), "SetSystemFactoryDefault tds:FactoryDefault=Soft"},
        {system_reboot(), "SystemReboot"},
        {start_firmware_upgrade(), "StartFirmwareUpgrade"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outline(row.request), row.outline);
        EXPECT_EQ(row.outline.substr(0, row.outline.find(' ')), row.request.operation);
    }
}

TEST(WriteReplies, ReadAsCamerasSendThem) {
    SoapReply reply;
    FirmwareUpgradeStart start;
    ASSERT_TRUE(read_start_firmware_upgrade(body(reply, onvif_message("start_firmware_upgrade.xml")), "http://10.77.1.5/onvif/device_service", start));
    EXPECT_EQ(start.upload_uri, "http://10.77.1.5/onvif/firmware/2f9c41d0");
    EXPECT_EQ(start.upload_delay_ms, 5000);
    EXPECT_EQ(start.expected_down_time_ms, 150000);
    // A bare path is on the device service's host and port.
    ASSERT_TRUE(read_start_firmware_upgrade(body(reply, build_response(start_firmware_upgrade_response("/fw/1", 0, 60))),
                                            "http://10.77.1.5:8080/onvif/device_service", start));
    EXPECT_EQ(start.upload_uri, "http://10.77.1.5:8080/fw/1");
    EXPECT_FALSE(read_start_firmware_upgrade(body(reply, build_response(start_firmware_upgrade_response("", 0, 60))), "http://h/", start));

    std::vector<UserAccount> users;
    ASSERT_TRUE(read_users(body(reply, onvif_message("users.xml")), users));
    EXPECT_EQ(users, (std::vector<UserAccount>{{"admin", "Administrator"}, {"viewer", "User"}}));

    bool reboot_needed = true;
    ASSERT_TRUE(read_set_network_interfaces(body(reply, onvif_message("set_network_interfaces.xml")), reboot_needed));
    EXPECT_FALSE(reboot_needed);
    ASSERT_TRUE(read_set_network_interfaces(body(reply, build_response(empty_response("SetNetworkInterfaces"))), reboot_needed));
    EXPECT_TRUE(reboot_needed) << "left out: a reboot applies the change either way";

    std::vector<std::string> gateways;
    ASSERT_TRUE(read_network_default_gateway(body(reply, onvif_message("network_default_gateway.xml")), gateways));
    EXPECT_EQ(gateways, std::vector<std::string>{"10.77.0.254"});

    std::string message;
    ASSERT_TRUE(read_system_reboot(body(reply, onvif_message("system_reboot.xml")), message));
    EXPECT_EQ(message, "Rebooting in 30 seconds");
}

TEST(WriteReplies, DurationsReadToMillisecondsWithinTheirBound) {
    const struct { const char* text; bool ok; int64_t ms; } rows[] = {
        {"PT0S", true, 0},          {"PT30S", true, 30000},       {"PT1M30S", true, 90000},
        {"PT2H", true, 7200000},    {"P1D", true, 86400000},      {"PT1.5S", true, 1500},
        {"PT0.0001S", true, 1},     {"PT59M60S", true, 3600000},  {"P0DT1H0M1S", true, 3601000},
        {"P1DT1S", false, 0},       {"PT86401S", false, 0},       {"P1M", false, 0},
        {"P1Y", false, 0},          {"-PT5S", false, 0},          {"PT", false, 0},
        {"P", false, 0},            {"PT5", false, 0},            {"PT5M5H", false, 0},
        {"PT1.5M", false, 0},       {"P1DT", false, 0},           {"PT1234567890S", false, 0},
        {"pt5s", false, 0},         {"PT5S ", false, 0},          {"PTS", false, 0},
    };
    for (const auto& row : rows) {
        int64_t ms = -1;
        EXPECT_EQ(parse_duration(row.text, ms), row.ok) << row.text;
        if (row.ok) {
            EXPECT_EQ(ms, row.ms) << row.text;
        }
    }
}
