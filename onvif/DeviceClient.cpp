#include "onvif/DeviceClient.h"

#include "foundation/debug_log.h"
#include "onvif/Namespaces.h"
#include "onvif/UsernameToken.h"

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
        if (m_challenge) {
            m_login = Login::digest;
            authorization = authorization_header(*m_challenge, {m_user, m_password, "POST", m_path, m_cnonce, ++m_nc});
        } else if (!m_user.empty()) {
            UsernameToken token;
            if (!make_username_token(m_user, m_password, static_cast<int64_t>(std::time(nullptr)) + m_clock_offset, token))
                return make_result(Status::fault, "no random bytes for the login");
            m_login = Login::username_token;
            security = security_header(token);
        }
        HttpResponse response;
        Result result = post(request, std::move(authorization), std::move(security), reply, response);
        if (response.status != 401) return result;

        std::vector<DigestChallenge> challenges;
        for (const std::string& header : response.www_authenticate) parse_challenges(header, challenges);
        const DigestChallenge* chosen = preferred_challenge(challenges);
        // A fresh challenge after our digest means the credentials were wrong, unless it says
        // only the nonce was stale.
        if (!chosen || m_user.empty() || (m_challenge && !chosen->stale)) {
            if (!chosen && result.text.empty())
                result.text = response.www_authenticate.empty() ? "no challenge" : "no digest challenge we answer";
            return result;
        }
        m_challenge = *chosen;
        m_cnonce = new_cnonce();
        m_nc = 0;
    }
    return make_result(Status::not_authorized, "digest challenges without end", 401);
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

} // namespace onvif
