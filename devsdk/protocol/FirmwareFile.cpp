#include "devsdk/protocol/FirmwareFile.h"

#include "devsdk/ovix_client.h"

#include <cstdio>
#include <memory>

namespace ovix {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// xorshift64*: cheap, deterministic, and incompressible enough to look like an image.
class ImageBytes {
public:
    explicit ImageBytes(uint64_t seed) : m_state(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    void fill(uint8_t* out, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (m_left == 0) {
                m_state ^= m_state >> 12;
                m_state ^= m_state << 25;
                m_state ^= m_state >> 27;
                m_word = m_state * 0x2545F4914F6CDD1Dull;
                m_left = 8;
            }
            out[i] = static_cast<uint8_t>(m_word);
            m_word >>= 8;
            --m_left;
        }
    }

private:
    uint64_t m_state;
    uint64_t m_word = 0;
    int m_left = 0;
};

} // namespace

int32_t make_firmware_file(const std::string& path, const FirmwareRecipe& recipe) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) return OVIX_ERR_FILE;

    FirmwareHeaderBytes placeholder{};
    if (std::fwrite(placeholder.data(), 1, placeholder.size(), file.get()) != placeholder.size()) return OVIX_ERR_FILE;

    ImageBytes source(recipe.seed);
    ImageDigest digest;
    Bytes chunk(64 * 1024);
    for (uint64_t left = recipe.image_length; left > 0;) {
        size_t n = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
        source.fill(chunk.data(), n);
        digest.update(ByteView(chunk.data(), n));
        if (std::fwrite(chunk.data(), 1, n, file.get()) != n) return OVIX_ERR_FILE;
        left -= n;
    }

    FirmwareInfo info;
    info.board_type = recipe.board_type;
    info.version = recipe.version;
    info.image_length = recipe.image_length;
    info.image_digest = digest.finish();
    info.description = recipe.description;
    FirmwareHeaderBytes header = encode_firmware_header(info);
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) return OVIX_ERR_FILE;
    if (std::fwrite(header.data(), 1, header.size(), file.get()) != header.size()) return OVIX_ERR_FILE;
    return std::fclose(file.release()) == 0 ? OVIX_OK : OVIX_ERR_FILE;
}

int32_t read_firmware_header(const std::string& path, FirmwareInfo& out) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return OVIX_ERR_FILE;
    FirmwareHeaderBytes header{};
    if (std::fread(header.data(), 1, header.size(), file.get()) != header.size()) return OVIX_ERR_FILE;
    return decode_firmware_header(header, out);
}

} // namespace ovix
