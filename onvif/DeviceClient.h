#pragma once
#include "onvif/CapabilityMessages.h"
#include "onvif/DeviceMessages.h"
#include "onvif/FirmwareMessages.h"
#include "onvif/HttpDigest.h"
#include "onvif/HttpTransport.h"
#include "onvif/NetworkMessages.h"
#include "onvif/NetworkSettings.h"
#include "onvif/Soap.h"
#include "onvif/SystemMessages.h"
#include "onvif/UserMessages.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One camera's device service, reached at its XAddr. The first call reads the camera's
// clock without credentials and keeps its offset from ours, since a UsernameToken's Created
// is judged by the camera's clock. Calls are signed with a UsernameToken until the camera
// answers 401 with a Digest challenge; from then on they answer its challenge instead (one
// or the other, never both, never Basic). A refusal while signing with a token is retried
// once when the camera's clock, read again, has moved from what we kept. Used by one thread
// at a time.
namespace onvif {

class DeviceClient {
public:
    enum class Login { none, username_token, digest };

    DeviceClient(std::string xaddr, std::string user, std::string password,
                 std::unique_ptr<HttpTransport> transport = std::make_unique<CurlTransport>());

    // GetSystemDateAndTime without credentials; keeps the offset when the camera gave its UTC.
    Result read_clock(SystemDateAndTime* out = nullptr);

    Result get_device_information(DeviceInformation& out);
    Result get_network_interfaces(std::vector<NetworkInterface>& out);
    Result get_services(bool include_capability, std::vector<Service>& out);
    Result get_capabilities(Capabilities& out);
    Result get_service_capabilities(DeviceServiceCapabilities& out);
    Result get_scopes(std::vector<Scope>& out);
    Result get_network_default_gateway(std::vector<std::string>& ipv4);
    Result get_users(std::vector<UserAccount>& out);

    // The calls a job makes. A Manual clock moves the camera's clock, so the offset is read
    // again after it (else taken from what was set); a time outside 1970 to 9999 is refused
    // here (bad_argument, nothing sent).
    Result set_system_date_and_time(const ClockSetting& setting);
    // Refused here (bad_argument, nothing sent) when the manual address is no dotted quad or
    // its prefix is not 1 to 32. A new address takes effect at the camera once it has
    // answered, or after a reboot when reboot_needed; this client stays at the old XAddr.
    Result set_network_interfaces(const InterfaceSetting& setting, bool& reboot_needed);
    Result set_network_default_gateway(const std::string& ipv4);
    Result system_reboot(std::string& message);
    Result set_system_factory_default(FactoryDefault kind);
    // A new password for an account, sent with the level GetUsers gives it (bad_argument when
    // the camera lists no such user). When it is this client's user, later calls log in with it.
    Result set_user_password(const std::string& user, const std::string& password);
    Result start_firmware_upgrade(FirmwareUpgradeStart& out);
    // The firmware file POSTed to the UploadUri, streamed. When the camera wants a digest
    // (known from earlier calls, or a 401 challenge to the upload) it is answered as for calls.
    UploadResult upload_firmware(const std::string& upload_uri, const std::string& file_path, const UploadWatch& watch = {});
    // UpgradeSystemFirmware: the file streamed as the XOP attachment of a multipart/related
    // POST to the device service, signed as calls are; message is the camera's answer. A file
    // that cannot be read is bad_argument, a transfer lost or stopped unreachable; a refused
    // image keeps the camera's HTTP status (415) or its fault (InvalidFirmware: bad_argument).
    Result upgrade_system_firmware(const std::string& file_path, const UploadWatch& watch, std::string& message);

    // Any request, signed; when ok, reply.body() is the "tds:<operation>Response" element.
    Result call(const Request& request, SoapReply& reply);

    const std::string& xaddr() const { return m_xaddr; }
    // The camera's UTC clock minus ours, in seconds; 0 until read.
    int64_t clock_offset() const { return m_clock_offset; }
    bool clock_known() const { return m_clock_known; }
    // How the last signed call logged in.
    Login login() const { return m_login; }

private:
    Result exchange(const Request& request, SoapReply& reply);
    // The next request's login: a digest answer or a UsernameToken header; false without
    // random bytes for a token.
    bool sign(std::string& authorization, std::string& security);
    Result post(const Request& request, std::string authorization, std::string security, SoapReply& reply, HttpResponse& response);
    template <class Out, class Reader>
    Result read(const Request& request, Out& out, Reader reader);
    std::string digest_authorization(const std::string& path);
    // Takes the best Digest challenge of a 401; false when there is none to answer (then an
    // empty why says so), or ours was answered already and refused for more than a stale nonce.
    bool take_challenge(const std::vector<std::string>& www_authenticate, std::string& why);

    std::string m_xaddr;
    std::string m_path;  // the request target that a digest covers
    std::string m_user;
    std::string m_password;
    std::unique_ptr<HttpTransport> m_transport;

    bool m_clock_tried = false;
    bool m_clock_known = false;
    int64_t m_clock_offset = 0;
    Login m_login = Login::none;
    std::optional<DigestChallenge> m_challenge;
    std::string m_cnonce;
    uint32_t m_nc = 0;
};

} // namespace onvif
