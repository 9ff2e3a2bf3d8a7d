#pragma once
#include "onvif/BoundedXml.h"
#include "onvif/HttpUpload.h"

#include <cstdint>
#include <string>
#include <vector>

typedef void CURL;

// One HTTP POST and its answer, the only thing the device client needs of HTTP, and the POST
// of a file. The interface lets tests hand the client a scripted transport; CurlTransport is
// the real one.
namespace onvif {

struct HttpRequest {
    std::string url;
    std::string content_type;
    std::string authorization;  // a whole Authorization value, or empty
    std::string body;
};

struct HttpResponse {
    int status = 0;
    std::string body;
    std::vector<std::string> www_authenticate;  // every WWW-Authenticate value, in order
};

enum class TransportStatus { ok, unreachable, timeout, too_large };
const char* transport_status_name(TransportStatus status);

class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    virtual TransportStatus post(const HttpRequest& request, HttpResponse& response) = 0;
    // A transport that cannot send files answers unreachable.
    virtual UploadResult upload(const HttpUpload& request);
};

// libcurl, one connection kept alive between calls. Plain HTTP and HTTPS only, no redirects,
// no proxy (the cameras are on our LAN), no compression, no authentication of curl's own
// (so never Basic): the client adds its Authorization header itself. A body larger than
// max_body, announced or received, ends the transfer. The timeouts are system milliseconds
// of Clock, so that sped-up time shortens them too. An upload may take long on a slow link:
// it ends when no byte has moved for upload_stall_ms, or after upload_timeout_ms in all.
class CurlTransport : public HttpTransport {
public:
    struct Limits {
        int64_t connect_timeout_ms = 5000;
        int64_t timeout_ms = 20000;
        size_t max_body = kMaxSoapBytes;
        int64_t upload_stall_ms = 60000;
        int64_t upload_timeout_ms = 30 * 60000;
        int64_t continue_wait_ms = 1000;  // for "100 Continue", which lets a camera refuse before the file goes
    };

    CurlTransport();
    explicit CurlTransport(const Limits& limits);
    ~CurlTransport() override;
    CurlTransport(const CurlTransport&) = delete;
    CurlTransport& operator=(const CurlTransport&) = delete;

    TransportStatus post(const HttpRequest& request, HttpResponse& response) override;
    UploadResult upload(const HttpUpload& request) override;  // in HttpUpload.cpp

private:
    Limits m_limits;
    CURL* m_curl = nullptr;
};

} // namespace onvif
