#include "onvif/FirmwareMessages.h"

#include "onvif/BoundedXml.h"
#include "onvif/Multipart.h"
#include "onvif/Namespaces.h"

namespace onvif {

namespace {

constexpr size_t kMaxFieldDigits = 9;

// Reads "<digits>[.<digits>]" at text's start; whole and fraction (milliseconds, rounded up).
bool read_number(std::string_view& text, int64_t& whole, int64_t& fraction_ms, bool& has_fraction) {
    size_t i = 0;
    whole = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (i == kMaxFieldDigits) return false;
        whole = whole * 10 + (text[i] - '0');
    }
    if (i == 0) return false;
    fraction_ms = 0;
    has_fraction = i < text.size() && text[i] == '.';
    if (has_fraction) {
        const size_t first = ++i;
        int64_t scale = 100;
        bool rest = false;  // digits below a millisecond
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            if (scale > 0) fraction_ms += (text[i] - '0') * scale;
            else rest = rest || text[i] != '0';
            scale /= 10;
            ++i;
        }
        if (i == first || i - first > kMaxFieldDigits) return false;
        fraction_ms += rest ? 1 : 0;
    }
    text.remove_prefix(i);
    return true;
}

} // namespace

bool parse_duration(std::string_view text, int64_t& ms) {
    if (text.size() < 3 || text.front() != 'P') return false;
    text.remove_prefix(1);
    // Designators in their order; seconds alone may carry a fraction.
    static constexpr struct { char designator; bool in_time; int64_t unit_ms; } kFields[] = {
        {'D', false, 86400000}, {'H', true, 3600000}, {'M', true, 60000}, {'S', true, 1000}};
    int64_t total = 0;
    bool in_time = false, any = false;
    size_t next = 0;
    while (!text.empty()) {
        if (text.front() == 'T') {
            if (in_time) return false;
            in_time = true;
            text.remove_prefix(1);
            if (text.empty()) return false;  // "PT" and "P1DT" name nothing after the T
            continue;
        }
        int64_t whole = 0, fraction = 0;
        bool has_fraction = false;
        if (!read_number(text, whole, fraction, has_fraction) || text.empty()) return false;
        size_t field = next;
        while (field < std::size(kFields) && (kFields[field].designator != text.front() || kFields[field].in_time != in_time)) ++field;
        if (field == std::size(kFields) || (has_fraction && kFields[field].designator != 'S')) return false;
        text.remove_prefix(1);
        next = field + 1;
        any = true;
        total += whole * kFields[field].unit_ms + fraction;
        if (total > kMaxDurationMs) return false;
    }
    if (!any) return false;
    ms = total;
    return true;
}

Request start_firmware_upgrade() {
    return {"StartFirmwareUpgrade", "<tds:StartFirmwareUpgrade/>"};
}

Request upgrade_system_firmware(std::string_view attachment_id) {
    return {"UpgradeSystemFirmware", "<tds:UpgradeSystemFirmware><tds:Firmware xmlns:xmime=\"" + std::string(kXmlMimeNamespace) +
                                         "\" xmime:contentType=\"application/octet-stream\"><xop:Include xmlns:xop=\"" +
                                         kXopNamespace + "\" href=\"cid:" + xml_escape(attachment_id) +
                                         "\"/></tds:Firmware></tds:UpgradeSystemFirmware>"};
}

bool read_upgrade_system_firmware(pugi::xml_node response, std::string& message) {
    message = child_text(response, ns::kDevice, "Message");
    return true;
}

namespace {

// "host" of "scheme://host[:port]/...", "" when it has no scheme.
std::string_view url_host(std::string_view url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) return {};
    const size_t start = scheme + 3;
    return url.substr(start, url.find_first_of(":/", start) - start);
}

} // namespace

bool read_start_firmware_upgrade(pugi::xml_node response, std::string_view xaddr, FirmwareUpgradeStart& out) {
    std::string uri = child_text(response, ns::kDevice, "UploadUri");
    if (uri.empty() || !parse_duration(child_text(response, ns::kDevice, "UploadDelay"), out.upload_delay_ms) ||
        !parse_duration(child_text(response, ns::kDevice, "ExpectedDownTime"), out.expected_down_time_ms))
        return false;
    if (uri.front() == '/') {
        const size_t scheme = xaddr.find("://");
        const size_t path = scheme == std::string_view::npos ? scheme : xaddr.find('/', scheme + 3);
        if (scheme == std::string_view::npos) return false;
        uri = std::string(xaddr.substr(0, path)) + uri;
    }
    // The image and a digest answer go only to the camera itself, whatever host it names.
    if (url_host(uri).empty() || url_host(uri) != url_host(xaddr)) return false;
    out.upload_uri = std::move(uri);
    return true;
}

} // namespace onvif
