#include "onvif/FakeOnvifDevice.h"

#include "onvif/DeviceMessages.h"
#include "onvif/HttpDigest.h"
#include "onvif/OnvifTestMessages.h"
#include "onvif/Soap.h"
#include "onvif/UsernameToken.h"

#include <httplib.h>

#include <ctime>

using namespace onvif;

namespace {

// How far a token's Created may be from the device's clock.
constexpr int64_t kTokenWindowSeconds = 5;

const std::map<std::string, std::string> kMessages = {
    {"GetDeviceInformation", "device_information.xml"}, {"GetNetworkInterfaces", "network_interfaces.xml"},
    {"GetServices", "services.xml"}, {"GetCapabilities", "capabilities.xml"},
    {"GetServiceCapabilities", "service_capabilities.xml"}, {"GetScopes", "scopes.xml"}};

FakeOnvifDevice::Reply clock_reply(int64_t now) {
    SystemDateAndTime clock;
    clock.utc_seconds = now;
    return {200, build_response(system_date_and_time_response(clock))};
}

} // namespace

FakeOnvifDevice::FakeOnvifDevice(Login login, std::string password)
    : m_login(login), m_password(std::move(password)), m_server(std::make_unique<httplib::Server>()) {
    m_server->Post("/onvif/device_service", [this](const httplib::Request& req, httplib::Response& res) {
        const Reply reply = answer(req.body, req.get_header_value("Authorization"), req.path);
        res.status = reply.status;
        if (reply.status == 401) {
            std::lock_guard<std::mutex> lock(m_mutex);
            const std::string realm = "Digest realm=\"fake\", qop=\"auth\", nonce=\"" + m_state.nonce + "\"";
            const std::string stale = m_state.nonce_expired ? ", stale=true" : "";
            if (m_login == Login::basic_only) res.set_header("WWW-Authenticate", "Basic realm=\"fake\"");
            if (m_login == Login::digest_md5 || m_login == Login::digest_both)
                res.set_header("WWW-Authenticate", realm + ", algorithm=MD5" + stale);
            if (m_login == Login::digest_sha256 || m_login == Login::digest_both)
                res.set_header("WWW-Authenticate", realm + ", algorithm=SHA-256" + stale);
            m_state.nonce_expired = false;
        }
        res.set_content(reply.body, "application/soap+xml; charset=utf-8");
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
}

FakeOnvifDevice::~FakeOnvifDevice() {
    m_server->stop();
    m_thread.join();
}

std::string FakeOnvifDevice::xaddr() const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/onvif/device_service";
}

// How the request logged in ("token", "digest MD5"), or empty when it did not.
std::string FakeOnvifDevice::check_login(const std::string& body, const std::string& authorization, const std::string& path,
                                         bool& refused) {
    refused = false;
    if (!authorization.empty()) {
        if (authorization.find("Basic") != std::string::npos) return "basic";
        DigestAuthorization sent;
        if (!parse_authorization(authorization, sent) || sent.username != "admin" || sent.uri != path || m_state.nonce_expired) return {};
        for (DigestAlgorithm algorithm : {DigestAlgorithm::md5, DigestAlgorithm::sha256}) {
            const bool offered = m_login == Login::digest_both ||
                                 m_login == (algorithm == DigestAlgorithm::md5 ? Login::digest_md5 : Login::digest_sha256);
            DigestChallenge issued;
            issued.algorithm = algorithm;
            issued.realm = "fake";
            issued.nonce = m_state.nonce;
            issued.qop_offered = issued.qop_auth = true;
            if (offered && authorization_matches(sent, issued, m_password, "POST")) return "digest " + sent.algorithm;
        }
        return {};
    }
    SoapRequest request;
    UsernameToken token;
    if (m_login != Login::token || request.parse(body) != XmlStatus::ok || !read_username_token(request.header(), token)) return {};
    refused = true;  // a token that fails is a SOAP fault, not a challenge
    const int64_t now = static_cast<int64_t>(std::time(nullptr)) + m_state.clock_offset;
    if (token.username != "admin" || !created_within(token, now, kTokenWindowSeconds) || !m_state.token_nonces.insert(token.nonce).second ||
        !token_matches(token, m_password))
        return {};
    refused = false;
    return "token";
}

FakeOnvifDevice::Reply FakeOnvifDevice::answer(const std::string& body, const std::string& authorization, const std::string& path) {
    SoapRequest request;
    if (request.parse(body) != XmlStatus::ok) return {400, {}};
    const std::string operation(local_name(request.operation().name()));
    std::lock_guard<std::mutex> lock(m_mutex);
    if (operation == "GetSystemDateAndTime") {
        m_state.log.push_back(operation);
        return clock_reply(static_cast<int64_t>(std::time(nullptr)) + m_state.clock_offset);
    }
    bool refused = false;
    const std::string login = check_login(body, authorization, path, refused);
    m_state.log.push_back(operation + " " + (login.empty() ? "refused" : login));
    if (login.empty() && refused) return {400, build_fault("Sender", "NotAuthorized", "Sender not Authorized")};
    if (login.empty() || login == "basic") return {401, {}};
    if (auto replaced = m_state.replies.find(operation); replaced != m_state.replies.end()) return replaced->second;
    if (auto known = kMessages.find(operation); known != kMessages.end()) return {200, onvif_message(known->second)};
    return {500, build_fault("Receiver", "ActionNotSupported", "Optional Action Not Implemented")};
}
