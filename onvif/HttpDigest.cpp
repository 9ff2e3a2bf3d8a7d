#include "onvif/HttpDigest.h"

#include "onvif/Crypto.h"

#include <array>
#include <cstdio>
#include <strings.h>
#include <utility>

namespace onvif {

namespace {

using Params = std::vector<std::pair<std::string, std::string>>;

struct AuthItem {
    std::string scheme;
    Params params;
};

bool same(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool is_tchar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// The auth-scheme / auth-param grammar shared by WWW-Authenticate and Authorization:
// schemes each followed by "name=token" or "name=\"quoted\"" pairs, commas between; a
// scheme's token68 (Bearer's, Negotiate's) is skipped.
class AuthReader {
public:
    explicit AuthReader(std::string_view text) : m_text(text) {}

    bool read(std::vector<AuthItem>& items) {
        if (m_text.size() > kMaxAuthHeaderBytes) return false;
        size_t params = 0;
        bool just_scheme = false;  // the last token was a scheme, and no comma followed yet
        for (;;) {
            skip(" \t");
            if (peek() == ',') just_scheme = false;
            skip(" \t,");
            if (m_at >= m_text.size()) return true;
            const std::string token = read_token();
            if (token.empty()) return false;
            skip(" \t");
            if (peek() != '=') {
                if (just_scheme) {
                    just_scheme = false;  // a token68 without padding
                    continue;
                }
                if (items.size() >= kMaxAuthItems) return false;
                items.push_back({token, {}});
                just_scheme = true;
                continue;
            }
            ++m_at;
            if (peek() == '=' || peek() == ',' || m_at >= m_text.size()) {
                if (!just_scheme) return false;  // a token68 belongs right after its scheme
                while (peek() == '=') ++m_at;
                just_scheme = false;
                continue;
            }
            if (items.empty()) return false;
            skip(" \t");
            std::string value = peek() == '"' ? std::string() : read_token();
            if (peek() == '"' && value.empty() && !read_quoted(value)) return false;
            if (++params > kMaxAuthParams) return false;
            items.back().params.emplace_back(token, std::move(value));
            just_scheme = false;
        }
    }

private:
    char peek() const { return m_at < m_text.size() ? m_text[m_at] : '\0'; }
    void skip(std::string_view chars) {
        while (m_at < m_text.size() && chars.find(m_text[m_at]) != std::string_view::npos) ++m_at;
    }
    std::string read_token() {
        const size_t start = m_at;
        while (m_at < m_text.size() && (is_tchar(m_text[m_at]) || m_text[m_at] == '/')) ++m_at;
        return std::string(m_text.substr(start, m_at - start));
    }
    bool read_quoted(std::string& value) {
        for (++m_at; m_at < m_text.size(); ++m_at) {
            char c = m_text[m_at];
            if (c == '"') {
                ++m_at;
                return true;
            }
            if (c == '\\') {
                if (++m_at >= m_text.size()) return false;
                c = m_text[m_at];
            }
            value += c;
        }
        return false;
    }

    static constexpr size_t kMaxAuthItems = 16;
    std::string_view m_text;
    size_t m_at = 0;
};

const std::string* param(const Params& params, std::string_view name) {
    for (const auto& [key, value] : params)
        if (same(key, name)) return &value;
    return nullptr;
}

Hash hash_of(DigestAlgorithm algorithm) {
    return algorithm == DigestAlgorithm::sha256 ? Hash::sha256 : Hash::md5;
}

std::string h(DigestAlgorithm algorithm, std::string_view text) {
    return hex_lower(digest(hash_of(algorithm), text));
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string nc_text(uint32_t nc) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", nc);
    return text;
}

} // namespace

bool parse_challenges(std::string_view header, std::vector<DigestChallenge>& out) {
    std::vector<AuthItem> items;
    const bool read = AuthReader(header).read(items);
    for (const AuthItem& item : items) {
        if (!same(item.scheme, "Digest")) continue;
        DigestChallenge c;
        const std::string* algorithm = param(item.params, "algorithm");
        const std::string name = algorithm ? *algorithm : "MD5";
        if (same(name, "MD5") || same(name, "MD5-sess")) {
            c.algorithm = DigestAlgorithm::md5;
        } else if (same(name, "SHA-256") || same(name, "SHA-256-sess")) {
            c.algorithm = DigestAlgorithm::sha256;
        } else {
            continue;
        }
        c.session = name.size() > 5 && same(std::string_view(name).substr(name.size() - 5), "-sess");
        const std::string* nonce = param(item.params, "nonce");
        if (!nonce || nonce->empty()) continue;
        c.nonce = *nonce;
        if (const std::string* realm = param(item.params, "realm")) c.realm = *realm;
        if (const std::string* opaque = param(item.params, "opaque")) {
            c.opaque = *opaque;
            c.has_opaque = true;
        }
        if (const std::string* qop = param(item.params, "qop")) {
            c.qop_offered = true;
            for (size_t start = 0; start <= qop->size();) {
                size_t end = qop->find(',', start);
                if (end == std::string::npos) end = qop->size();
                std::string_view option = std::string_view(*qop).substr(start, end - start);
                while (!option.empty() && (option.front() == ' ' || option.front() == '\t')) option.remove_prefix(1);
                while (!option.empty() && (option.back() == ' ' || option.back() == '\t')) option.remove_suffix(1);
                if (same(option, "auth")) c.qop_auth = true;
                start = end + 1;
            }
        }
        const std::string* stale = param(item.params, "stale");
        c.stale = stale && same(*stale, "true");
        const std::string* userhash = param(item.params, "userhash");
        c.userhash = userhash && same(*userhash, "true");
        out.push_back(std::move(c));
    }
    return read;
}

const DigestChallenge* preferred_challenge(const std::vector<DigestChallenge>& challenges) {
    for (DigestAlgorithm wanted : {DigestAlgorithm::sha256, DigestAlgorithm::md5})
        for (const DigestChallenge& c : challenges)
            if (c.algorithm == wanted && (c.qop_auth || !c.qop_offered)) return &c;
    return nullptr;
}

std::string digest_response(const DigestChallenge& c, const DigestInput& in) {
    std::string ha1 = h(c.algorithm, in.user + ":" + c.realm + ":" + in.password);
    if (c.session) ha1 = h(c.algorithm, ha1 + ":" + c.nonce + ":" + in.cnonce);
    const std::string ha2 = h(c.algorithm, in.method + ":" + in.uri);
    if (!c.qop_offered) return h(c.algorithm, ha1 + ":" + c.nonce + ":" + ha2);
    return h(c.algorithm, ha1 + ":" + c.nonce + ":" + nc_text(in.nc) + ":" + in.cnonce + ":auth:" + ha2);
}

bool authorization_matches(const DigestAuthorization& sent, const DigestChallenge& issued, std::string_view password,
                           std::string_view method) {
    const char* algorithm = issued.algorithm == DigestAlgorithm::sha256 ? "SHA-256" : "MD5";
    const std::string_view name = sent.algorithm.empty() ? "MD5" : std::string_view(sent.algorithm);
    if (issued.session || sent.userhash || !same(name, algorithm) || sent.nonce != issued.nonce) return false;
    if (issued.qop_offered && (!same(sent.qop, "auth") || sent.nc.size() != 8 || sent.cnonce.empty())) return false;
    uint32_t nc = 0;
    for (char c : sent.nc) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return false;
        nc = nc * 16 + static_cast<uint32_t>(digit);
    }
    const DigestInput input{sent.username, std::string(password), std::string(method), sent.uri, sent.cnonce, nc};
    return equal_in_constant_time(digest_response(issued, input), sent.response);
}

std::string digest_userhash(DigestAlgorithm algorithm, std::string_view user, std::string_view realm) {
    return h(algorithm, std::string(user) + ":" + std::string(realm));
}

std::string authorization_header(const DigestChallenge& c, const DigestInput& in) {
    const char* algorithm = c.algorithm == DigestAlgorithm::sha256 ? (c.session ? "SHA-256-sess" : "SHA-256")
                                                                   : (c.session ? "MD5-sess" : "MD5");
    std::string header = "Digest username=" + quoted(c.userhash ? digest_userhash(c.algorithm, in.user, c.realm) : in.user);
    header += ", realm=" + quoted(c.realm) + ", nonce=" + quoted(c.nonce) + ", uri=" + quoted(in.uri);
    header += std::string(", algorithm=") + algorithm;
    if (c.qop_offered) header += ", qop=auth, nc=" + nc_text(in.nc) + ", cnonce=" + quoted(in.cnonce);
    header += ", response=" + quoted(digest_response(c, in));
    if (c.has_opaque) header += ", opaque=" + quoted(c.opaque);
    if (c.userhash) header += ", userhash=true";
    return header;
}

std::string new_cnonce() {
    std::array<uint8_t, 16> bytes{};
    return random_bytes(bytes) ? hex_lower(bytes) : std::string();
}

bool parse_authorization(std::string_view header, DigestAuthorization& out) {
    std::vector<AuthItem> items;
    if (!AuthReader(header).read(items) || items.size() != 1 || !same(items[0].scheme, "Digest")) return false;
    const Params& p = items[0].params;
    const std::pair<const char*, std::string*> fields[] = {
        {"username", &out.username}, {"realm", &out.realm}, {"nonce", &out.nonce}, {"uri", &out.uri},
        {"response", &out.response}, {"algorithm", &out.algorithm}, {"cnonce", &out.cnonce}, {"nc", &out.nc},
        {"qop", &out.qop}, {"opaque", &out.opaque}};
    for (const auto& [name, field] : fields)
        if (const std::string* value = param(p, name)) *field = *value;
    const std::string* userhash = param(p, "userhash");
    out.userhash = userhash && same(*userhash, "true");
    return !out.username.empty() && !out.nonce.empty() && !out.response.empty();
}

} // namespace onvif
