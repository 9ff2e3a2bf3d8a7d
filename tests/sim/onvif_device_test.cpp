// A simulated camera's ONVIF device service, driven by our own DeviceClient inside the lab:
// what it reports is its one state, and what each call changes shows on both protocols.
#include "devsdk/ovix_client.h"
#include "onvif/BoundedXml.h"
#include "onvif/Namespaces.h"
#include "onvif/Scopes.h"
#include "onvif/UsernameToken.h"
#include "support/OnvifFleet.h"

#include <cstdlib>

namespace {

using support::eventually;

class OnvifDeviceTest : public support::OnvifFleetTest {};

TEST_F(OnvifDeviceTest, ReportsTheCamerasOwnIdentityAndAddress) {
    start(2);
    auto c = client(2);
    const CameraConfig current = camera(2).current();
    onvif::DeviceInformation info;
    ASSERT_TRUE(c->get_device_information(info).ok());
    EXPECT_EQ(info, (onvif::DeviceInformation{"Lumora", "IPC-3516", current.software_ver, effective_device(current).serial, "IPC-3516"}));
    std::vector<onvif::NetworkInterface> nics;
    ASSERT_TRUE(c->get_network_interfaces(nics).ok());
    ASSERT_EQ(nics.size(), 1u);
    EXPECT_EQ(nics[0].mac, current.mac_address);
    EXPECT_EQ(nics[0].current_address(), (onvif::Ipv4Address{current.ip_address, 16}));
    std::vector<onvif::Scope> scopes;
    ASSERT_TRUE(c->get_scopes(scopes).ok());
    std::vector<std::string> items;
    for (const auto& s : scopes) items.push_back(s.item);
    EXPECT_EQ(onvif::scope_mac(items), current.mac_address);
    onvif::DeviceServiceCapabilities caps;
    ASSERT_TRUE(c->get_service_capabilities(caps).ok());
    EXPECT_TRUE(caps.http_firmware_upgrade && caps.username_token && caps.http_digest);
    std::vector<onvif::Service> services;
    ASSERT_TRUE(c->get_services(false, services).ok());
    EXPECT_EQ(services.at(0).xaddr, xaddr(2));
}

struct Effect {
    const char* name;
    onvif::Request request;
    std::function<bool(const CameraConfig&, const DeviceState&)> holds;
    const char* detail;  // what the record keeps of the call
};

TEST_F(OnvifDeviceTest, EachCallChangesTheCamerasOneState) {
    const auto utc_of = [](const CameraConfig& c, const DeviceState& s) { return camera_utc_ms(c, s) / 1000; };
    const int64_t wanted = onvif::days_from_civil(2030, 1, 2) * 86400 + 3 * 3600 + 4 * 60 + 5;
    const Effect effects[] = {
        {"clock", {"SetSystemDateAndTime", "<tds:SetSystemDateAndTime><tds:DateTimeType>Manual</tds:DateTimeType>"
                   "<tds:DaylightSavings>false</tds:DaylightSavings><tds:TimeZone><tt:TZ>CST-8</tt:TZ></tds:TimeZone>"
                   "<tds:UTCDateTime><tt:Date><tt:Year>2030</tt:Year><tt:Month>1</tt:Month><tt:Day>2</tt:Day></tt:Date>"
                   "<tt:Time><tt:Hour>3</tt:Hour><tt:Minute>4</tt:Minute><tt:Second>5</tt:Second></tt:Time></tds:UTCDateTime>"
                   "</tds:SetSystemDateAndTime>"},
         [&](const CameraConfig& c, const DeviceState& s) {
             return c.device.settings.time_zone == 8 * 3600 && std::abs(utc_of(c, s) - wanted) < 600;
         },
         "Manual 2030-01-02T03:04:05Z TZ CST-8"},
        {"gateway", {"SetNetworkDefaultGateway", "<tds:SetNetworkDefaultGateway><tds:IPv4Address>10.77.0.200</tds:IPv4Address></tds:SetNetworkDefaultGateway>"},
         [](const CameraConfig& c, const DeviceState&) { return c.gateway == "10.77.0.200"; }, "10.77.0.200"},
        {"user", {"SetUser", "<tds:SetUser><tds:User><tt:Username>Admin</tt:Username><tt:Password>n3w</tt:Password>"
                  "<tt:UserLevel>Administrator</tt:UserLevel></tds:User></tds:SetUser>"},
         [](const CameraConfig& c, const DeviceState&) { return c.device.users.front().password == "n3w"; }, "user Admin"},
        {"address", {"SetNetworkInterfaces", "<tds:SetNetworkInterfaces><tds:InterfaceToken>eth0</tds:InterfaceToken><tds:NetworkInterface>"
                     "<tt:Enabled>true</tt:Enabled><tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Manual><tt:Address>10.77.5.5</tt:Address>"
                     "<tt:PrefixLength>24</tt:PrefixLength></tt:Manual><tt:DHCP>false</tt:DHCP></tt:IPv4></tds:NetworkInterface>"
                     "</tds:SetNetworkInterfaces>"},
         [](const CameraConfig& c, const DeviceState&) { return c.ip_address == "10.77.5.5" && c.subnet_mask == "255.255.255.0"; },
         "10.77.5.5/24 DHCP off"},
    };
    start(std::size(effects));
    for (size_t i = 0; i < std::size(effects); ++i) {
        SCOPED_TRACE(effects[i].name);
        const size_t n = i + 1;
        onvif::SoapReply reply;
        ASSERT_TRUE(client(n)->call(effects[i].request, reply).ok());
        EXPECT_TRUE(eventually([&] { return effects[i].holds(camera(n).current(), camera(n).device_state()); }));
        const DeviceRecord record = camera(n).device_record();
        ASSERT_FALSE(record.onvif_calls.empty());
        EXPECT_EQ(record.onvif_calls.back().operation, effects[i].request.operation);
        EXPECT_EQ(record.onvif_calls.back().detail, effects[i].detail);
    }
    // The moved camera answers at its new address, on its own protocol's port too.
    onvif::DeviceInformation info;
    EXPECT_TRUE(eventually([&] {
        return onvif::DeviceClient("http://10.77.5.5/onvif/device_service", "Admin", "").get_device_information(info).ok();
    }));
    EXPECT_TRUE(client(3, "n3w")->get_device_information(info).ok()) << "the new password is the camera's one Admin password";
    EXPECT_FALSE(client(3, "")->get_device_information(info).ok());
}

// A soft reset (what a job asks for by default) is the camera's one reboot into its defaults;
// SystemReboot's return is the discovery test's and the ONVIF job calls' (tests/onvif).
TEST_F(OnvifDeviceTest, ASoftFactoryDefaultRebootsIntoTheDefaults) {
    Clock::set_speed(20);
    start(1);
    camera().update([](CameraView& view) { view.current.gateway = "10.77.0.9"; });
    onvif::SoapReply reply;
    ASSERT_TRUE(client()->call({"SetSystemFactoryDefault", "<tds:SetSystemFactoryDefault><tds:FactoryDefault>Soft</tds:FactoryDefault>"
                                "</tds:SetSystemFactoryDefault>"}, reply).ok());
    ASSERT_TRUE(back_online(1, 1));
    EXPECT_EQ(std::pair(camera().current().gateway, camera().device_record().factory_resets),
              std::pair(std::string("10.77.0.254"), uint64_t{1}));
}

TEST_F(OnvifDeviceTest, AnAddressChangeThatNeedsARebootWaitsForIt) {
    Clock::set_speed(20);
    start(2, [](CameraConfig& c) {
        c.device.onvif.faults.reboot_after_network = c.mac_address.back() == '1';
        c.device.dhcp_address = "10.77.9.9";
    });
    // Camera 1 takes a manual address at its next start (a fault), camera 2 DHCP (always).
    const char* const settings[] = {"<tt:Manual><tt:Address>10.77.6.6</tt:Address><tt:PrefixLength>16</tt:PrefixLength></tt:Manual>",
                                    "<tt:DHCP>true</tt:DHCP>"};
    for (size_t n = 1; n <= 2; ++n) {
        onvif::SoapReply reply;
        ASSERT_TRUE(client(n)->call({"SetNetworkInterfaces", std::string("<tds:SetNetworkInterfaces><tds:InterfaceToken>eth0</tds:InterfaceToken>"
                                                                         "<tds:NetworkInterface><tt:IPv4>") + settings[n - 1] +
                                                                 "</tt:IPv4></tds:NetworkInterface></tds:SetNetworkInterfaces>"}, reply).ok());
        EXPECT_EQ(onvif::child_text(reply.body(), onvif::ns::kDevice, "RebootNeeded"), "true");
        EXPECT_EQ(camera(n).current().ip_address, "10.77.1." + std::to_string(n));
        ASSERT_TRUE(client(n)->call({"SystemReboot", "<tds:SystemReboot/>"}, reply).ok());
        ASSERT_TRUE(back_online(n, 1));
    }
    EXPECT_EQ(camera(1).current().ip_address, "10.77.6.6");
    std::vector<onvif::NetworkInterface> nics;
    ASSERT_TRUE(eventually([&] { return client(2)->get_network_interfaces(nics).ok(); }));
    EXPECT_TRUE(nics.at(0).dhcp);
    EXPECT_EQ(nics.at(0).current_address(), (onvif::Ipv4Address{"10.77.9.9", 16}));
}

TEST_F(OnvifDeviceTest, UnknownCallsBusyCamerasAndOnvifOnlyCameras) {
    start(2, [](CameraConfig& c) {
        c.device.onvif.faults.busy_nth = c.mac_address.back() == '2' ? 1 : 0;
        if (c.mac_address.back() == '2') c.device.onvif.protocols = CameraProtocols::Onvif;
    });
    onvif::SoapReply reply;
    EXPECT_EQ(client(1)->call({"GetNTP", "<tds:GetNTP/>"}, reply).status, onvif::Status::not_supported);
    const onvif::Result busy = client(2)->call({"GetUsers", "<tds:GetUsers/>"}, reply);
    EXPECT_EQ(busy.status, onvif::Status::busy);
    EXPECT_EQ(busy.http_status, 503);
    EXPECT_TRUE(client(2)->call({"GetUsers", "<tds:GetUsers/>"}, reply).ok()) << "busy once, from the first signed call";
    int32_t handle = -1;
    ASSERT_EQ(Network_ClientInit(), OVIX_OK);
    EXPECT_NE(Network_ClientLogin(&handle, "10.77.1.2", 6001, "Admin", ""), OVIX_OK) << "an ONVIF-only camera has no command port";
    Network_ClientUnInit();
}

} // namespace
