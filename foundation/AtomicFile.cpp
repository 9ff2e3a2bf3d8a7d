#include "foundation/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

std::string failure(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool write_all(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool write_file_atomically(const std::string& path, const std::string& content, std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    // A name of our own beside the target: the rename must not cross file systems, and two
    // exports at once must not share a temporary file.
    static std::atomic<unsigned> serial{0};
    const std::string temp = path + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    // 0666 less the umask, as any file the user saves; mkstemp's 0600 would hide the report.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        why = failure("cannot create", temp);
        return false;
    }
    bool ok = write_all(fd, content);
    if (!ok) why = failure("cannot write", temp);
    if (ok && ::fsync(fd) != 0) {
        why = failure("cannot sync", temp);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        why = failure("cannot write", temp);
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        why = failure("cannot replace", path);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself lasts only once the directory is synced; the file is complete either way.
    std::string dir = std::filesystem::path(path).parent_path().string();
    const int dir_fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
        ::fsync(dir_fd);
        ::close(dir_fd);
    }
    return true;
}
