#include "onvif/DeviceClient.h"

#include "foundation/debug_log.h"
#include "onvif/Crypto.h"
#include "onvif/Multipart.h"
#include "onvif/Namespaces.h"
#include "onvif/UsernameToken.h"

#include <algorithm>
#include <array>
#include <ctime>

namespace onvif {

namespace {

std::string path_of(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t slash = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return slash == std::string::npos ? "/" : url.substr(slash);
}

Status transport_failure(TransportStatus status) {
    return status == TransportStatus::too_large ? Status::bad_reply : Status::unreachable;
}

void log_failure(const std::string& xaddr, const std::string& operation, const Result& result) {
    DEBUG_LOCATION("onvif", "DeviceClient");
    debug_log("%s at %s: %s\n", operation.c_str(), xaddr.c_str(), describe(result).c_str());
}

} // namespace

DeviceClient::DeviceClient(std::string xaddr, std::string user, std::string password, std::unique_ptr<HttpTransport> transport)
    : m_xaddr(std::move(xaddr)), m_path(path_of(m_xaddr)), m_user(std::move(user)), m_password(std::move(password)),
      m_transport(std::move(transport)) {}

Result DeviceClient::post(const Request& request, std::string authorization, std::string security, SoapReply& reply,
                          HttpResponse& response) {
    HttpRequest http;
    http.url = m_xaddr;
    http.content_type = soap_content_type(request.operation);
    http.authorization = std::move(authorization);
    http.body = build_request(request.body, security);
    const TransportStatus sent = m_transport->post(http, response);
    if (sent != TransportStatus::ok) return make_result(transport_failure(sent), transport_status_name(sent), response.status);

    Result result = reply.parse(response.status, response.body);
    if (result.ok() && !is_element(reply.body(), ns::kDevice, request.operation + "Response")) {
        result = make_result(Status::bad_reply, std::string("expected ") + request.operation + "Response, got " + reply.body().name(),
                             response.status);
    }
    return result;
}

Result DeviceClient::read_clock(SystemDateAndTime* out) {
    m_clock_tried = true;
    SoapReply reply;
    HttpResponse response;
    const Request request = get_system_date_and_time();
    Result result = post(request, {}, {}, reply, response);
    SystemDateAndTime clock;
    if (result.ok() && !read_system_date_and_time(reply.body(), clock))
        result = make_result(Status::bad_reply, "no UTC date and time in the reply", result.http_status);
    if (!result.ok()) {
        log_failure(m_xaddr, request.operation, result);
        return result;
    }
    m_clock_offset = clock.utc_seconds - static_cast<int64_t>(std::time(nullptr));
    m_clock_known = true;
    if (out) *out = clock;
    return result;
}

Result DeviceClient::exchange(const Request& request, SoapReply& reply) {
    // At most: a token refused for a digest challenge, then a stale nonce renewed.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string authorization, security;
        if (!sign(authorization, security)) return make_result(Status::fault, "no random bytes for the login");
        HttpResponse response;
        Result result = post(request, std::move(authorization), std::move(security), reply, response);
        if (response.status != 401) return result;

        // A fresh challenge after our digest means the credentials were wrong, unless it says
        // only the nonce was stale.
        if (!take_challenge(response.www_authenticate, result.text)) return result;
    }
    return make_result(Status::not_authorized, "digest challenges without end", 401);
}

bool DeviceClient::sign(std::string& authorization, std::string& security) {
    authorization.clear();
    security.clear();
    if (m_challenge) {
        m_login = Login::digest;
        authorization = digest_authorization(m_path);
    } else if (!m_user.empty()) {
        UsernameToken token;
        if (!make_username_token(m_user, m_password, static_cast<int64_t>(std::time(nullptr)) + m_clock_offset, token)) return false;
        m_login = Login::username_token;
        security = security_header(token);
    }
    return true;
}

std::string DeviceClient::digest_authorization(const std::string& path) {
    return authorization_header(*m_challenge, {m_user, m_password, "POST", path, m_cnonce, ++m_nc});
}

bool DeviceClient::take_challenge(const std::vector<std::string>& www_authenticate, std::string& why) {
    std::vector<DigestChallenge> challenges;
    for (const std::string& header : www_authenticate) parse_challenges(header, challenges);
    const DigestChallenge* chosen = preferred_challenge(challenges);
    if (!chosen && why.empty()) why = www_authenticate.empty() ? "no challenge" : "no digest challenge we answer";
    if (!chosen || m_user.empty() || (m_challenge && !chosen->stale)) return false;
    m_challenge = *chosen;
    m_cnonce = new_cnonce();
    m_nc = 0;
    return true;
}

Result DeviceClient::call(const Request& request, SoapReply& reply) {
    if (!m_clock_tried) {
        const Result clock = read_clock();
        if (clock.status == Status::unreachable) return clock;
    }
    Result result = exchange(request, reply);
    if (result.status == Status::not_authorized && m_login == Login::username_token) {
        const int64_t kept = m_clock_offset;
        if (read_clock().ok() && m_clock_offset != kept) result = exchange(request, reply);
    }
    if (!result.ok()) log_failure(m_xaddr, request.operation, result);
    return result;
}

template <class Out, class Reader>
Result DeviceClient::read(const Request& request, Out& out, Reader reader) {
    SoapReply reply;
    Result result = call(request, reply);
    if (result.ok() && !reader(reply.body(), out)) {
        result = make_result(Status::bad_reply, request.operation + "Response lacks what it must hold", result.http_status);
        log_failure(m_xaddr, request.operation, result);
    }
    return result;
}

Result DeviceClient::get_device_information(DeviceInformation& out) {
    return read(onvif::get_device_information(), out, read_device_information);
}

Result DeviceClient::get_network_interfaces(std::vector<NetworkInterface>& out) {
    return read(onvif::get_network_interfaces(), out, read_network_interfaces);
}

Result DeviceClient::get_services(bool include_capability, std::vector<Service>& out) {
    return read(onvif::get_services(include_capability), out, read_services);
}

Result DeviceClient::get_capabilities(Capabilities& out) {
    return read(onvif::get_capabilities(), out, read_capabilities);
}

Result DeviceClient::get_service_capabilities(DeviceServiceCapabilities& out) {
    return read(onvif::get_service_capabilities(), out, read_service_capabilities);
}

Result DeviceClient::get_scopes(std::vector<Scope>& out) {
    return read(onvif::get_scopes(), out, read_scopes);
}

Result DeviceClient::get_network_default_gateway(std::vector<std::string>& ipv4) {
    return read(onvif::get_network_default_gateway(), ipv4, read_network_default_gateway);
}

Result DeviceClient::get_users(std::vector<UserAccount>& out) {
    return read(onvif::get_users(), out, read_users);
}

Result DeviceClient::set_system_date_and_time(const ClockSetting& setting) {
    constexpr int64_t kLastSecondOf9999 = 253402300799;  // the request writes four-digit years
    if (setting.utc_seconds < 0 || setting.utc_seconds > kLastSecondOf9999)
        return make_result(Status::bad_argument, "a time from 1970 to 9999 is needed");
    SoapReply reply;
    const Result result = call(onvif::set_system_date_and_time(setting), reply);
    if (result.ok() && !read_clock().ok()) {
        m_clock_offset = setting.utc_seconds - static_cast<int64_t>(std::time(nullptr));
        m_clock_known = true;
    }
    return result;
}

Result DeviceClient::set_network_interfaces(const InterfaceSetting& setting, bool& reboot_needed) {
    if (setting.manual && (!is_ipv4_address(setting.manual->address) || setting.manual->prefix_length < 1 ||
                           setting.manual->prefix_length > 32))
        return make_result(Status::bad_argument, "not an IPv4 address and prefix: " + setting.manual->address);
    return read(onvif::set_network_interfaces(setting), reboot_needed, read_set_network_interfaces);
}

Result DeviceClient::set_network_default_gateway(const std::string& ipv4) {
    if (!ipv4.empty() && !is_ipv4_address(ipv4)) return make_result(Status::bad_argument, "not an IPv4 address: " + ipv4);
    SoapReply reply;
    return call(onvif::set_network_default_gateway(ipv4), reply);
}

Result DeviceClient::system_reboot(std::string& message) {
    return read(onvif::system_reboot(), message, read_system_reboot);
}

Result DeviceClient::set_system_factory_default(FactoryDefault kind) {
    SoapReply reply;
    return call(onvif::set_system_factory_default(kind), reply);
}

Result DeviceClient::set_user_password(const std::string& user, const std::string& password) {
    std::vector<UserAccount> accounts;
    const Result listed = get_users(accounts);
    if (!listed.ok()) return listed;
    const auto account = std::find_if(accounts.begin(), accounts.end(), [&](const UserAccount& a) { return a.name == user; });
    if (account == accounts.end()) return make_result(Status::bad_argument, "the camera lists no user " + user);
    SoapReply reply;
    const Result result = call(onvif::set_user(*account, password), reply);
    if (result.ok() && user == m_user) m_password = password;
    return result;
}

Result DeviceClient::start_firmware_upgrade(FirmwareUpgradeStart& out) {
    return read(onvif::start_firmware_upgrade(), out,
                [this](pugi::xml_node response, FirmwareUpgradeStart& start) { return read_start_firmware_upgrade(response, m_xaddr, start); });
}

UploadResult DeviceClient::upload_firmware(const std::string& upload_uri, const std::string& file_path, const UploadWatch& watch) {
    HttpUpload upload;
    upload.url = upload_uri;
    upload.file_path = file_path;
    upload.watch = watch;
    UploadResult result;
    // At most: the upload challenged for a digest, then sent again with one.
    for (int attempt = 0; attempt < 2; ++attempt) {
        upload.authorization = m_challenge ? digest_authorization(path_of(upload_uri)) : std::string();
        result = m_transport->upload(upload);
        std::string why;
        if (result.status != UploadStatus::refused || result.http_status != 401 || !take_challenge(result.www_authenticate, why)) break;
    }
    if (!result.ok()) {
        DEBUG_LOCATION("onvif", "DeviceClient");
        debug_log("firmware upload to %s: %s\n", upload_uri.c_str(), describe(result).c_str());
    }
    return result;
}

namespace {

constexpr const char* kRootId = "envelope@fleetset";
constexpr const char* kAttachmentId = "firmware@fleetset";

// What a transfer that brought no SOAP answer comes to.
Result transfer_failure(const UploadResult& sent) {
    const Status status = sent.status == UploadStatus::unreadable ? Status::bad_argument : Status::unreachable;
    return make_result(status, describe(sent), sent.http_status);
}

} // namespace

Result DeviceClient::upgrade_system_firmware(const std::string& file_path, const UploadWatch& watch, std::string& message) {
    if (!m_clock_tried) {
        const Result clock = read_clock();
        if (clock.status == Status::unreachable) return clock;
    }
    std::array<uint8_t, 12> random{};
    if (!random_bytes(random)) return make_result(Status::fault, "no random bytes for the boundary");
    const std::string boundary = "fleetset-" + hex_lower(random);
    const Request request = onvif::upgrade_system_firmware(kAttachmentId);
    const std::string action = std::string(ns::kDevice) + "/" + request.operation;
    HttpUpload upload;
    upload.url = m_xaddr;
    upload.file_path = file_path;
    upload.watch = watch;
    upload.max_answer = kMaxSoapBytes;
    UploadResult sent;
    // At most: a token refused for a digest challenge, then a stale nonce renewed.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string security;
        if (!sign(upload.authorization, security)) return make_result(Status::fault, "no random bytes for the login");
        XopFraming framing = xop_framing(build_request(request.body, security), action, boundary, kRootId, kAttachmentId);
        upload.content_type = std::move(framing.content_type);
        upload.prefix = std::move(framing.prefix);
        upload.suffix = std::move(framing.suffix);
        sent = m_transport->upload(upload);
        std::string why;
        if (sent.status != UploadStatus::refused || sent.http_status != 401 || !take_challenge(sent.www_authenticate, why)) break;
    }
    Result result;
    if (sent.status == UploadStatus::ok || sent.status == UploadStatus::refused) {
        SoapReply reply;
        result = reply.parse(sent.http_status, sent.answer);
        if (result.ok() && !is_element(reply.body(), ns::kDevice, request.operation + "Response"))
            result = make_result(Status::bad_reply, "expected UpgradeSystemFirmwareResponse, got " + std::string(reply.body().name()), sent.http_status);
        if (result.ok()) read_upgrade_system_firmware(reply.body(), message);
    } else {
        result = transfer_failure(sent);
    }
    if (!result.ok()) log_failure(m_xaddr, request.operation, result);
    return result;
}

} // namespace onvif
