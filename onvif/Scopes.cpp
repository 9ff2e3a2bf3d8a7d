#include "onvif/Scopes.h"

#include <cctype>
#include <strings.h>

namespace onvif {

namespace {

constexpr std::string_view kScopePrefix = "onvif://www.onvif.org/";

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool same_text(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The raw value after "onvif://www.onvif.org/<category>/", or false.
bool raw_value(std::string_view scope, std::string_view category, std::string_view& value) {
    if (scope.size() < kScopePrefix.size() || !same_text(scope.substr(0, kScopePrefix.size()), kScopePrefix)) return false;
    scope.remove_prefix(kScopePrefix.size());
    const size_t slash = scope.find('/');
    if (slash == std::string_view::npos || !same_text(scope.substr(0, slash), category)) return false;
    value = scope.substr(slash + 1);
    return true;
}

} // namespace

std::string percent_decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out += text[i];  // a stray '%' stays as it was sent
        }
    }
    return out;
}

std::string percent_encode(std::string_view text) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || c == '%') {
            out += '%';
            out += kDigits[byte >> 4];
            out += kDigits[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string scope_value(const std::vector<std::string>& scopes, std::string_view category) {
    std::string_view value;
    for (const std::string& scope : scopes)
        if (raw_value(scope, category, value)) return percent_decode(value);
    return {};
}

std::string normalized_mac(std::string_view text) {
    std::string digits;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (hex_value(c) >= 0) {
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        } else if ((c != ':' && c != '-') || digits.size() % 2 != 0 || digits.empty()) {
            return {};
        }
    }
    if (digits.size() != 12) return {};
    std::string out;
    for (size_t i = 0; i < 12; i += 2) {
        if (!out.empty()) out += ':';
        out.append(digits, i, 2);
    }
    return out;
}

std::string scope_mac(const std::vector<std::string>& scopes) {
    for (std::string_view category : {"MAC", "MacAddress"}) {
        std::string_view value;
        for (const std::string& scope : scopes) {
            if (!raw_value(scope, category, value)) continue;
            std::string mac = normalized_mac(percent_decode(value));
            if (!mac.empty()) return mac;
        }
    }
    return {};
}

std::string onvif_scope(std::string_view category, std::string_view value) {
    return std::string(kScopePrefix) + std::string(category) + "/" + percent_encode(value);
}

} // namespace onvif
