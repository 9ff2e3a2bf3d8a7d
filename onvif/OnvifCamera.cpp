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

std::string first_http_xaddr(const OnvifCamera& camera) {
    for (const std::string& xaddr : camera.xaddrs)
        if (xaddr.rfind("http://", 0) == 0 || xaddr.rfind("https://", 0) == 0) return xaddr;
    return {};
}

std::string camera_address(const OnvifCamera& camera) {
    const std::string xaddr = first_http_xaddr(camera);
    if (!xaddr.empty()) {
        const size_t start = xaddr.find("://") + 3;
        const size_t end = xaddr.find_first_of(":/", start);
        const std::string host = xaddr.substr(start, end == std::string::npos ? std::string::npos : end - start);
        in_addr parsed{};
        if (inet_pton(AF_INET, host.c_str(), &parsed) == 1) return host;
    }
    return camera.source_address;
}

} // namespace onvif
