#include "onvif/HttpUpload.h"

#include "foundation/debug_log.h"
#include "onvif/CurlRequest.h"
#include "onvif/HttpTransport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace onvif {

namespace {

// The start of the camera's answer's first line kept for the report.
constexpr size_t kMaxAnswerLine = 512;

// The body is the prefix, the file and the suffix; `position` runs over all three.
struct Sending {
    int fd = -1;
    const std::string* prefix = nullptr;
    const std::string* suffix = nullptr;
    uint64_t file_size = 0;
    uint64_t total = 0;
    uint64_t position = 0;
    uint64_t reported = 0;
    size_t max_answer = 0;
    const UploadWatch* watch = nullptr;
    bool stopped = false;
    bool read_failed = false;
    std::string answer;

    bool stop_asked() {
        stopped = stopped || (watch->stop && watch->stop());
        return stopped;
    }
};

size_t copy_from(const std::string& text, uint64_t at, char* buffer, size_t room) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(room, text.size() - at));
    std::memcpy(buffer, text.data() + at, n);
    return n;
}

// One part of the body at a time; curl asks again for the rest.
size_t on_read(char* buffer, size_t size, size_t count, void* user) {
    auto* s = static_cast<Sending*>(user);
    if (s->stop_asked()) return CURL_READFUNC_ABORT;
    const size_t room = size * count;
    if (room == 0 || s->position >= s->total) return 0;
    const uint64_t file_start = s->prefix->size(), file_end = file_start + s->file_size;
    size_t given = 0;
    if (s->position < file_start) {
        given = copy_from(*s->prefix, s->position, buffer, room);
    } else if (s->position >= file_end) {
        given = copy_from(*s->suffix, s->position - file_end, buffer, room);
    } else {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(room, file_end - s->position));
        ssize_t got;
        do got = ::pread(s->fd, buffer, want, static_cast<off_t>(s->position - file_start));
        while (got < 0 && errno == EINTR);
        if (got <= 0) {  // the file shrank or failed under us: what was announced cannot be sent
            s->read_failed = true;
            return CURL_READFUNC_ABORT;
        }
        given = static_cast<size_t>(got);
    }
    s->position += given;
    return given;
}

// curl goes back to the start when it sends the body again on a fresh connection, after the
// kept one turned out closed.
int on_seek(void* user, curl_off_t offset, int origin) {
    auto* s = static_cast<Sending*>(user);
    if (origin != SEEK_SET || offset < 0 || static_cast<uint64_t>(offset) > s->total) return CURL_SEEKFUNC_CANTSEEK;
    s->position = static_cast<uint64_t>(offset);
    return CURL_SEEKFUNC_OK;
}

// Called by curl at least once a second, also while nothing moves: where a stop is seen
// when the camera takes no data.
int on_progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent) {
    auto* s = static_cast<Sending*>(user);
    if (s->stop_asked()) return 1;
    const uint64_t now = static_cast<uint64_t>(sent < 0 ? 0 : sent);
    if (now != s->reported && s->watch->progress) s->watch->progress(now, s->total);
    s->reported = now;
    return 0;
}

size_t on_answer(char* data, size_t, size_t size, void* user) {
    auto* s = static_cast<Sending*>(user);
    s->answer.append(data, std::min(size, s->max_answer - std::min(s->max_answer, s->answer.size())));
    return size;
}

UploadStatus classify(CURLcode code, int http_status, const Sending& sending, uint64_t sent, curl_off_t connect_us) {
    if (sending.read_failed) return UploadStatus::unreadable;
    if (sending.stopped || code == CURLE_ABORTED_BY_CALLBACK) return UploadStatus::stopped;
    // A camera may answer before the file is all out (a refused header) and close: its
    // answer is what counts, not the failed send.
    if (http_status >= 300) return UploadStatus::refused;
    // A 2xx before the whole file went out is no proof the camera has the image.
    if (code == CURLE_OK && http_status >= 200 && sent == sending.total) return UploadStatus::ok;
    if (code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_UNSUPPORTED_PROTOCOL ||
        code == CURLE_URL_MALFORMAT || (code == CURLE_OPERATION_TIMEDOUT && sent == 0 && connect_us == 0))
        return UploadStatus::unreachable;
    return UploadStatus::dropped;
}

} // namespace

const char* upload_status_name(UploadStatus status) {
    switch (status) {
    case UploadStatus::ok: return "ok";
    case UploadStatus::refused: return "refused";
    case UploadStatus::dropped: return "dropped";
    case UploadStatus::unreachable: return "unreachable";
    case UploadStatus::stopped: return "stopped";
    case UploadStatus::unreadable: return "file unreadable";
    }
    return "?";
}

std::string describe(const UploadResult& result) {
    std::string line = upload_status_name(result.status);
    line += " (";
    if (result.http_status) line += "HTTP " + std::to_string(result.http_status) + ", ";
    line += std::to_string(result.sent) + " of " + std::to_string(result.total) + " bytes sent";
    if (!result.text.empty()) line += ": " + result.text;
    return line + ")";
}

UploadResult CurlTransport::upload(const HttpUpload& request) {
    UploadResult result;
    Sending sending;
    sending.watch = &request.watch;
    sending.fd = ::open(request.file_path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info{};
    if (sending.fd < 0 || ::fstat(sending.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (sending.fd >= 0) ::close(sending.fd);
        result.status = UploadStatus::unreadable;
        result.text = request.file_path + ": not a readable file";
        return result;
    }
    sending.prefix = &request.prefix;
    sending.suffix = &request.suffix;
    sending.max_answer = request.max_answer;
    sending.file_size = static_cast<uint64_t>(info.st_size);
    sending.total = result.total = request.prefix.size() + sending.file_size + request.suffix.size();
    if (!m_curl) {
        ::close(sending.fd);
        result.status = UploadStatus::unreachable;
        return result;
    }

    CURL* curl = m_curl;
    HttpResponse response;
    curl_request::Received received{&response, 0};
    const HttpRequest head{request.url, request.content_type, request.authorization, {}};
    curl_slist* headers = curl_request::prepare(curl, head, "Expect: 100-continue", m_limits.connect_timeout_ms, received);
    // curl's smallest upload buffer: a hundred uploads at once each hold one, and a larger one
    // buys nothing on a LAN.
    curl_easy_setopt(curl, CURLOPT_UPLOAD_BUFFERSIZE, 16384L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, on_read);
    curl_easy_setopt(curl, CURLOPT_READDATA, &sending);
    curl_easy_setopt(curl, CURLOPT_SEEKFUNCTION, on_seek);
    curl_easy_setopt(curl, CURLOPT_SEEKDATA, &sending);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(sending.total));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_answer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sending);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, on_progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &sending);
    curl_easy_setopt(curl, CURLOPT_EXPECT_100_TIMEOUT_MS, curl_request::real_ms(m_limits.continue_wait_ms));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, std::max(1L, curl_request::real_ms(m_limits.upload_stall_ms) / 1000));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, curl_request::real_ms(m_limits.upload_timeout_ms));

    const CURLcode code = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    ::close(sending.fd);
    long status = 0;
    curl_off_t sent = 0, connect_us = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &sent);
    curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connect_us);
    result.http_status = status >= 200 ? static_cast<int>(status) : 0;  // "100 Continue" is no answer
    result.sent = static_cast<uint64_t>(sent < 0 ? 0 : sent);
    result.status = classify(code, result.http_status, sending, result.sent, connect_us);
    result.www_authenticate = std::move(response.www_authenticate);
    if (result.status == UploadStatus::ok || result.status == UploadStatus::refused) {
        result.text = sending.answer.substr(0, std::min(sending.answer.find_first_of("\r\n"), kMaxAnswerLine));
        result.answer = std::move(sending.answer);
    } else if (code != CURLE_OK) {
        result.text = curl_easy_strerror(code);
        DEBUG_LOCATION("onvif", "CurlTransport::upload");
        debug_log("POST %s: %s\n", request.url.c_str(), describe(result).c_str());
    }
    return result;
}

} // namespace onvif
