#include "batch/BatchJob.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
constexpr size_t kHeaderSize = 456;
constexpr size_t kMajorOffset = 32;
constexpr size_t kMinorOffset = 36;
constexpr size_t kBuildOffset = 40;
constexpr char kOwnMagic[4] = {'O', 'V', 'F', 'W'};  // our firmware files begin so

int32_t little_endian_i32(const unsigned char* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}
} // namespace

std::string BatchJob::file_version(const std::string& path) {
    unsigned char header[kHeaderSize];
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    const size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    if (got != sizeof header) return {};
    char text[48];
    std::snprintf(text, sizeof text, "%d.%d.%d", little_endian_i32(header + kMajorOffset),
                  little_endian_i32(header + kMinorOffset), little_endian_i32(header + kBuildOffset));
    return text;
}

std::string BatchJob::own_header_version(const std::string& path) {
    char magic[sizeof kOwnMagic] = {};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    const size_t got = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);
    if (got != sizeof magic || std::memcmp(magic, kOwnMagic, sizeof magic) != 0) return {};
    return file_version(path);
}

bool BatchJob::version_matches(const std::string& path, const std::string& device_version) {
    return version_text_matches(file_version(path), device_version);
}

bool BatchJob::version_text_matches(const std::string& version, const std::string& device_version) {
    if (version.empty() || device_version.compare(0, version.size(), version) != 0) return false;
    // A prefix alone would let 1.2.30 pass for 1.2.3: what follows must start a new part.
    if (device_version.size() == version.size()) return true;
    const char next = device_version[version.size()];
    return next == '.' || next == '-';
}
