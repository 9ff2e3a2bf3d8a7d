#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// One HTTP/1.1 request at a time from a connected socket, within bounds: the request line
// and headers together at most kMaxHeadBytes, a body only by Content-Length (no chunks: a
// SOAP client and a firmware upload both know their length). A head, and a whole body read
// with read_body, must arrive within kReadTimeoutMs system ms of Clock, so a client that
// trickles bytes gives its worker back as surely as a silent one.
struct HttpHead {
    std::string method;
    std::string target;
    bool http11 = true;
    std::string content_type;
    std::string authorization;
    bool has_length = false;
    uint64_t content_length = 0;
    bool close = false;       // Connection: close, or HTTP/1.0 without keep-alive
    bool chunked = false;
    bool expect_continue = false;
};

class HttpRequestReader {
public:
    static constexpr size_t kMaxHeadBytes = 16 * 1024;
    static constexpr int64_t kReadTimeoutMs = 10000;

    enum class Status { ok, closed, bad, too_large };

    explicit HttpRequestReader(int fd) : m_fd(fd) {}

    // closed: the peer ended (or went silent) before a request began; bad: unreadable or
    // over kMaxHeadBytes (answer 400).
    Status read_head(HttpHead& out);
    // Exactly `length` bytes into out; false when the peer ended or went silent.
    bool read_body(uint64_t length, std::string& out);
    // Up to `max` of the next body bytes (what is buffered first); false on end or silence.
    bool read_some(size_t max, std::string& out);
    // Bytes read ahead and not used, to be read again first.
    void put_back(std::string_view bytes) { m_buffer.insert(0, bytes); }
    // Bytes already read beyond the current request (a pipelined next one).
    bool has_buffered() const { return !m_buffer.empty(); }

private:
    bool fill(int64_t deadline_ms);

    int m_fd;
    std::string m_buffer;
};

// Writes one whole response; false when the peer is gone.
bool write_http_response(int fd, int status, std::string_view content_type, std::string_view body, bool keep_alive,
                         std::string_view extra_headers = {});
const char* http_reason(int status);
// After an answer given before the request's body was all read (413, a refused upload): ends
// our sending side and discards what the peer still sends, for at most kLingerMs system ms,
// so that the answer reaches it instead of being lost to a reset.
constexpr int64_t kLingerMs = 5000;
void linger_before_close(int fd);
