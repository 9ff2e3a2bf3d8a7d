#include "cli/RunSummary.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

std::string summary_json(const RunSummary& s) {
    nlohmann::ordered_json out = {{"dry_run", s.dry_run},     {"devices", s.devices},         {"done", s.done},
                                  {"failed", s.failed},       {"unsupported", s.unsupported}, {"not_found", s.not_found},
                                  {"up_to_date", s.up_to_date}, {"changed", s.changed},       {"planned", s.planned},
                                  {"exit_code", s.exit_code}, {"started", s.started},         {"ended", s.ended}};
    return out.dump(2) + "\n";
}

bool write_file_atomically(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    // mkstemp makes the file readable by its owner only; a summary is no secret.
    const bool ok = written == text.size() && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
