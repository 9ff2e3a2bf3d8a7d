#include "sim/onvif/HttpRequestReader.h"

#include "foundation/Clock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool parse_length(std::string_view text, uint64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    out = value;
    return true;
}

} // namespace

bool HttpRequestReader::fill(int64_t deadline_ms) {
    const int64_t left = deadline_ms - Clock::now_ms();
    if (left <= 0) return false;
    pollfd p{m_fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<int64_t>(1, Clock::real_ms(left))));
    if (ready <= 0) return false;
    char chunk[16384];
    for (;;) {
        const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (got > 0) {
            m_buffer.append(chunk, static_cast<size_t>(got));
            return true;
        }
        if (got < 0 && errno == EINTR) continue;
        return false;
    }
}

HttpRequestReader::Status HttpRequestReader::read_head(HttpHead& out) {
    out = HttpHead{};
    const int64_t deadline = Clock::now_ms() + kReadTimeoutMs;
    size_t end;
    while ((end = m_buffer.find("\r\n\r\n")) == std::string::npos) {
        if (m_buffer.size() > kMaxHeadBytes) return Status::too_large;
        if (!fill(deadline)) return m_buffer.empty() ? Status::closed : Status::bad;
    }
    if (end + 4 > kMaxHeadBytes) return Status::too_large;
    const std::string head = m_buffer.substr(0, end);
    m_buffer.erase(0, end + 4);

    size_t line_end = head.find("\r\n");
    const std::string_view request_line = std::string_view(head).substr(0, line_end);
    const size_t sp1 = request_line.find(' ');
    const size_t sp2 = request_line.rfind(' ');
    if (sp1 == std::string_view::npos || sp2 == sp1) return Status::bad;
    out.method = std::string(request_line.substr(0, sp1));
    out.target = std::string(request_line.substr(sp1 + 1, sp2 - sp1 - 1));
    const std::string_view version = request_line.substr(sp2 + 1);
    if (version != "HTTP/1.1" && version != "HTTP/1.0") return Status::bad;
    out.http11 = version == "HTTP/1.1";
    bool keep_alive = false;
    while (line_end != std::string::npos) {
        const size_t start = line_end + 2;
        line_end = head.find("\r\n", start);
        const std::string_view line = std::string_view(head).substr(start, line_end == std::string::npos ? std::string::npos : line_end - start);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return Status::bad;
        const std::string name = lower(line.substr(0, colon));
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (name == "content-length") {
            uint64_t length = 0;
            if (!parse_length(value, length) || (out.has_length && length != out.content_length)) return Status::bad;
            out.has_length = true;
            out.content_length = length;
        } else if (name == "content-type") out.content_type = std::string(value);
        else if (name == "authorization") out.authorization = std::string(value);
        else if (name == "connection") {
            const std::string v = lower(value);
            out.close = out.close || v.find("close") != std::string::npos;
            keep_alive = v.find("keep-alive") != std::string::npos;
        } else if (name == "transfer-encoding") out.chunked = true;
        else if (name == "expect") out.expect_continue = lower(value) == "100-continue";
    }
    if (!out.http11 && !keep_alive) out.close = true;
    return Status::ok;
}

bool HttpRequestReader::read_body(uint64_t length, std::string& out) {
    out.clear();
    const int64_t deadline = Clock::now_ms() + kReadTimeoutMs;
    while (m_buffer.size() < length)
        if (!fill(deadline)) return false;
    out = m_buffer.substr(0, length);
    m_buffer.erase(0, length);
    return true;
}

bool HttpRequestReader::read_some(size_t max, std::string& out) {
    out.clear();
    if (m_buffer.empty() && !fill(Clock::now_ms() + kReadTimeoutMs)) return false;
    const size_t n = std::min(max, m_buffer.size());
    out = m_buffer.substr(0, n);
    m_buffer.erase(0, n);
    return true;
}

const char* http_reason(int status) {
    switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 415: return "Unsupported Media Type";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

bool write_http_response(int fd, int status, std::string_view content_type, std::string_view body, bool keep_alive,
                         std::string_view extra_headers) {
    std::string text = "HTTP/1.1 " + std::to_string(status) + " " + http_reason(status) + "\r\nServer: fleetset-sim\r\n";
    if (!content_type.empty()) text += "Content-Type: " + std::string(content_type) + "\r\n";
    text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += keep_alive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    text += extra_headers;
    text += "\r\n";
    text += body;
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, static_cast<int>(std::max<int64_t>(1, Clock::real_ms(HttpRequestReader::kReadTimeoutMs)))) <= 0) return false;
            continue;
        }
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void linger_before_close(int fd) {
    ::shutdown(fd, SHUT_WR);
    const int64_t deadline = Clock::now_ms() + kLingerMs;
    char discard[16384];
    for (int64_t left = kLingerMs; left > 0; left = deadline - Clock::now_ms()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::max<int64_t>(1, Clock::real_ms(left)))) <= 0) return;
        const ssize_t got = ::recv(fd, discard, sizeof discard, 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) return;
    }
}
