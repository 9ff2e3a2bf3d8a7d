#include "onvif/OnvifCamera.h"

#include <arpa/inet.h>

namespace onvif {

const char* reading_name(Reading reading) {
    switch (reading) {
    case Reading::not_tried: return "not tried";
    case Reading::no_credentials: return "no credentials";
    case Reading::ok: return "ok";
    case Reading::refused: return "login refused";
    case Reading::unreachable: return "unreachable";
    case Reading::failed: return "failed";
    }
    return "?";
}

namespace {

// The host of an http(s) URL when it is a dotted quad, else "".
std::string ipv4_host(const std::string& url) {
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) return {};
    const size_t start = url.find("://") + 3;
    const size_t end = url.find_first_of(":/", start);
    const std::string host = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    in_addr parsed{};
    return inet_pton(AF_INET, host.c_str(), &parsed) == 1 ? host : std::string();
}

} // namespace

std::string first_http_xaddr(const OnvifCamera& camera) {
    for (const std::string& xaddr : camera.xaddrs) {
        const std::string host = ipv4_host(xaddr);
        if (!host.empty() && (camera.source_address.empty() || host == camera.source_address)) return xaddr;
    }
    return {};
}

std::string camera_address(const OnvifCamera& camera) {
    const std::string host = ipv4_host(first_http_xaddr(camera));
    return host.empty() ? camera.source_address : host;
}

} // namespace onvif
