#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A file sent as the body of one HTTP POST, the way a camera takes a firmware image after
// StartFirmwareUpgrade: streamed from the file as it goes out, never held whole, with
// Content-Length and Content-Type application/octet-stream. The same POST carries the image
// inside a multipart message (UpgradeSystemFirmware): the parts before and after it go as a
// prefix and a suffix around the file, still counted in one Content-Length up front.
namespace onvif {

struct UploadWatch {
    // Bytes gone out of the whole file, called as they change (on the transfer's thread).
    std::function<void(uint64_t sent, uint64_t total)> progress;
    // Asked while the file goes out; true ends the transfer at once.
    std::function<bool()> stop;
};

struct HttpUpload {
    std::string url;
    std::string file_path;
    std::string authorization;  // a whole Authorization value, or empty
    UploadWatch watch;
    std::string content_type = "application/octet-stream";
    std::string prefix;  // sent before the file
    std::string suffix;  // and after it
    size_t max_answer = 512;  // the start of the camera's answer kept in UploadResult::answer
};

enum class UploadStatus {
    ok,           // the whole file went out and the camera answered 2xx
    refused,      // the camera answered otherwise (415 a bad image, 503 busy, 401 ...); http_status says which
    dropped,      // the connection was made, then lost or stalled before an answer
    unreachable,  // no connection: refused, unknown host, no answer to connect
    stopped,      // the stop check ended it
    unreadable,   // the file could not be opened or read to its end
};
const char* upload_status_name(UploadStatus status);

struct UploadResult {
    UploadStatus status = UploadStatus::ok;
    int http_status = 0;
    uint64_t sent = 0;
    uint64_t total = 0;  // the whole body: prefix, file and suffix
    std::string text;                           // what went wrong, or the first line of the camera's answer
    std::vector<std::string> www_authenticate;  // with a 401
    std::string answer = {};                    // the camera's answer, up to HttpUpload::max_answer
    bool ok() const { return status == UploadStatus::ok; }
};
// One line for the log and the report: "refused (HTTP 415, 2048 of 4096 bytes sent)".
std::string describe(const UploadResult& result);

} // namespace onvif
