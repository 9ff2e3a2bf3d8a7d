#pragma once
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/FirmwareFile.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

namespace support {

// The whole content of a file, empty when it cannot be read.
inline std::string file_text(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// A file under /tmp, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::string& content = {}, const char* stem = "fleetset-test") {
        std::string pattern = std::string("/tmp/") + stem + "-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd >= 0) {
            ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
            ::close(fd);
        }
        m_path = pattern;
    }
    ~TempFile() { ::unlink(m_path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return m_path; }
    bool ok = false;

private:
    std::string m_path;
};

// A directory under /tmp, removed with everything in it; its path is empty when it could not
// be made.
class TempDir {
public:
    explicit TempDir(const char* stem = "fleetset-test") {
        std::string pattern = std::string("/tmp/") + stem + "-XXXXXX";
        if (::mkdtemp(pattern.data())) m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // Writes the bytes as they are; returns the file's path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(m_path + "/" + name, std::ios::binary) << bytes;
        return m_path + "/" + name;
    }

private:
    std::string m_path;
};

// A firmware file of our format for the default cameras (board 0x3516).
class Firmware : public TempFile {
public:
    Firmware(ovix::FirmwareVersion version, uint64_t image_length, std::string board = "0x3516")
        : TempFile({}, "fleetset-fw") {
        ok = ovix::make_firmware_file(path(), {std::move(board), version, image_length, image_length + 11, "test"}) ==
             OVIX_OK;
    }
};

} // namespace support
