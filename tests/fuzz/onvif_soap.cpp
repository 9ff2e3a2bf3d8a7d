// Device service replies and requests: every reader on whatever body a reply carries, the
// fault mapping, a request's UsernameToken as a device checks it, and the leading parts of a
// multipart/related request as the simulated camera reads UpgradeSystemFirmware.
#include "onvif/CapabilityMessages.h"
#include "onvif/DeviceMessages.h"
#include "onvif/FirmwareMessages.h"
#include "onvif/Multipart.h"
#include "onvif/NetworkMessages.h"
#include "onvif/NetworkSettings.h"
#include "onvif/Soap.h"
#include "onvif/SystemMessages.h"
#include "onvif/UserMessages.h"
#include "onvif/UsernameToken.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace onvif;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int kStatuses[] = {200, 400, 401, 500, 503};
    fuzz::Input in(data, size);
    const int status = kStatuses[in.byte() % 5];
    const std::string_view text = in.text(in.remaining());

    SoapReply reply;
    const Result result = reply.parse(status, text);
    FUZZ_CHECK(result.ok() == !reply.body().empty());
    FUZZ_CHECK(!result.ok() || status == 200);
    if (result.ok()) {
        const pugi::xml_node body = reply.body();
        SystemDateAndTime clock;
        if (read_system_date_and_time(body, clock)) {
            SoapReply echoed;  // what the simulator will answer reads back as the same clock
            SystemDateAndTime again;
            FUZZ_CHECK(echoed.parse(200, build_response(system_date_and_time_response(clock))).ok());
            FUZZ_CHECK(read_system_date_and_time(echoed.body(), again) && again.utc_seconds == clock.utc_seconds);
        }
        DeviceInformation info;
        read_device_information(body, info);
        std::vector<NetworkInterface> nics;
        if (read_network_interfaces(body, nics)) {
            FUZZ_CHECK(nics.size() <= kMaxInterfaces);
            for (const NetworkInterface& nic : nics) FUZZ_CHECK(nic.mac.empty() || nic.mac.size() == 17);
        }
        std::vector<Service> services;
        read_services(body, services);
        Capabilities caps;
        read_capabilities(body, caps);
        DeviceServiceCapabilities service;
        read_service_capabilities(body, service);
        std::vector<Scope> scopes;
        read_scopes(body, scopes);
        std::string message;
        read_system_reboot(body, message);
        bool reboot_needed = false;
        read_set_network_interfaces(body, reboot_needed);
        std::vector<std::string> gateways;
        read_network_default_gateway(body, gateways);
        std::vector<UserAccount> users;
        read_users(body, users);
        FirmwareUpgradeStart start;
        if (read_start_firmware_upgrade(body, "http://10.77.1.1/onvif/device_service", start))
            FUZZ_CHECK(start.upload_delay_ms >= 0 && start.upload_delay_ms <= kMaxDurationMs &&
                       start.expected_down_time_ms >= 0 && start.expected_down_time_ms <= kMaxDurationMs);
    }

    SoapRequest request;
    UsernameToken token;
    if (request.parse(text) == XmlStatus::ok && read_username_token(request.header(), token)) {
        token_matches(token, "password");
        created_within(token, 1700000000, 5);
    }

    // The text's first line as a Content-Type, the rest as the body.
    const size_t line = text.find('\n');
    MultipartType type;
    if (line != std::string_view::npos && parse_multipart_type(text.substr(0, line), type)) {
        FUZZ_CHECK(!type.boundary.empty() && type.boundary.size() <= kMaxBoundary);
        const std::string_view body = text.substr(line + 1);
        std::vector<MimePart> parts;
        size_t consumed = 0;
        if (read_leading_parts(body, type.boundary, 2, parts, consumed) == MultipartStatus::ok) {
            FUZZ_CHECK(parts.size() == 2 && consumed <= body.size());
            FUZZ_CHECK(parts[0].body.data() >= body.data() && parts[0].body.data() + parts[0].body.size() <= body.data() + consumed);
        }
    }
    return 0;
}
