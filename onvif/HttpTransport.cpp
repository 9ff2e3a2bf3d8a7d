#include "onvif/HttpTransport.h"

#include "foundation/Clock.h"
#include "foundation/debug_log.h"
#include "onvif/CurlRequest.h"
#include "onvif/HttpDigest.h"

#include <mutex>
#include <strings.h>

namespace onvif {

namespace curl_request {

// Headers beyond this many WWW-Authenticate lines are ignored.
constexpr size_t kMaxChallengeHeaders = 8;

size_t on_header(char* data, size_t, size_t size, void* user) {
    auto* received = static_cast<Received*>(user);
    std::string_view line(data, size);
    if (line.rfind("HTTP/", 0) == 0) received->response->www_authenticate.clear();  // a new response (after 100 Continue)
    constexpr std::string_view kName = "WWW-Authenticate:";
    if (line.size() > kName.size() && strncasecmp(line.data(), kName.data(), kName.size()) == 0 &&
        received->response->www_authenticate.size() < kMaxChallengeHeaders) {
        line.remove_prefix(kName.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) line.remove_suffix(1);
        if (line.size() <= kMaxAuthHeaderBytes) received->response->www_authenticate.emplace_back(line);
    }
    return size;
}

long real_ms(int64_t system_ms) {
    const int64_t real = Clock::real_ms(system_ms);
    return static_cast<long>(real < 1 ? 1 : real);
}

curl_slist* prepare(CURL* curl, const HttpRequest& request, const char* expect, int64_t connect_timeout_ms, Received& received) {
    curl_easy_reset(curl);  // keeps the open connection, drops the last call's options
    curl_slist* headers = curl_slist_append(nullptr, ("Content-Type: " + request.content_type).c_str());
    headers = curl_slist_append(headers, expect);
    if (!request.authorization.empty()) headers = curl_slist_append(headers, ("Authorization: " + request.authorization).c_str());

    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &received);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, real_ms(connect_timeout_ms));
    return headers;
}

} // namespace curl_request

namespace {

using curl_request::Received;

size_t on_body(char* data, size_t, size_t size, void* user) {
    auto* received = static_cast<Received*>(user);
    if (received->response->body.size() + size > received->max_body) {
        received->too_large = true;
        return 0;  // ends the transfer
    }
    received->response->body.append(data, size);
    return size;
}

} // namespace

UploadResult HttpTransport::upload(const HttpUpload&) {
    UploadResult result;
    result.status = UploadStatus::unreachable;
    result.text = "this transport sends no files";
    return result;
}

const char* transport_status_name(TransportStatus status) {
    switch (status) {
    case TransportStatus::ok: return "ok";
    case TransportStatus::unreachable: return "unreachable";
    case TransportStatus::timeout: return "timed out";
    case TransportStatus::too_large: return "reply too large";
    }
    return "?";
}

CurlTransport::CurlTransport() : CurlTransport(Limits()) {}

CurlTransport::CurlTransport(const Limits& limits) : m_limits(limits) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_curl = curl_easy_init();
}

CurlTransport::~CurlTransport() {
    if (m_curl) curl_easy_cleanup(m_curl);
}

TransportStatus CurlTransport::post(const HttpRequest& request, HttpResponse& response) {
    response = HttpResponse();
    if (!m_curl) return TransportStatus::unreachable;
    CURL* curl = m_curl;
    Received received{&response, m_limits.max_body};
    curl_slist* headers = curl_request::prepare(curl, request, "Expect:", m_limits.connect_timeout_ms, received);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(m_limits.max_body));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, curl_request::real_ms(m_limits.timeout_ms));

    const CURLcode code = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    response.status = static_cast<int>(status);

    if (received.too_large || code == CURLE_FILESIZE_EXCEEDED) {
        response.body.clear();
        return TransportStatus::too_large;
    }
    if (code == CURLE_OK) return TransportStatus::ok;
    DEBUG_LOCATION("onvif", "CurlTransport::post");
    debug_log("POST %s: %s\n", request.url.c_str(), curl_easy_strerror(code));
    return code == CURLE_OPERATION_TIMEDOUT ? TransportStatus::timeout : TransportStatus::unreachable;
}

} // namespace onvif
