#include "devsdk/protocol/FirmwareHeader.h"

#include "devsdk/ovix_client.h"
#include "devsdk/protocol/LoginProof.h"

#include <cstdio>
#include <sodium.h>

namespace ovix {

namespace {

constexpr size_t kHeaderDigestOffset = 424;

Digest digest_of(ByteView data) {
    ImageDigest d;
    d.update(data);
    return d.finish();
}

} // namespace

static_assert(sizeof(crypto_generichash_state) <= sizeof(ImageDigest));

ImageDigest::ImageDigest() {
    crypto_ready();
    crypto_generichash_init(reinterpret_cast<crypto_generichash_state*>(m_state), nullptr, 0, sizeof(Digest));
}

void ImageDigest::update(ByteView data) {
    crypto_generichash_update(reinterpret_cast<crypto_generichash_state*>(m_state), data.data(), data.size());
}

Digest ImageDigest::finish() {
    Digest out{};
    crypto_generichash_final(reinterpret_cast<crypto_generichash_state*>(m_state), out.data(), out.size());
    return out;
}

FirmwareHeaderBytes encode_firmware_header(const FirmwareInfo& info) {
    Bytes out;
    ByteWriter w(out);
    w.u32(kFirmwareMagic);
    w.u32(kFirmwareFormat);
    w.text(info.board_type, kBoardTypeSize);
    w.i32(info.version.major);
    w.i32(info.version.minor);
    w.i32(info.version.build);
    w.u32(0);
    w.u64(info.image_length);
    w.u64(0);
    w.bytes(info.image_digest);
    w.text(info.description, kDescriptionSize);
    w.bytes(digest_of(out));

    FirmwareHeaderBytes header{};
    std::copy(out.begin(), out.end(), header.begin());
    return header;
}

int32_t decode_firmware_header(const FirmwareHeaderBytes& header, FirmwareInfo& out) {
    ByteView bytes(header);
    Digest stored{};
    std::copy(header.begin() + kHeaderDigestOffset, header.end(), stored.begin());
    if (digest_of(bytes.first(kHeaderDigestOffset)) != stored) return OVIX_ERR_UPGRADE_INVALID;

    ByteReader r(bytes);
    if (r.u32() != kFirmwareMagic || r.u32() != kFirmwareFormat) return OVIX_ERR_UPGRADE_INVALID;
    out.board_type = r.text(kBoardTypeSize);
    out.version.major = r.i32();
    out.version.minor = r.i32();
    out.version.build = r.i32();
    r.u32();
    out.image_length = r.u64();
    r.u64();
    ByteView digest = r.bytes(out.image_digest.size());
    std::copy(digest.begin(), digest.end(), out.image_digest.begin());
    out.description = r.text(kDescriptionSize);
    return r.ok() ? OVIX_OK : OVIX_ERR_UPGRADE_INVALID;
}

int32_t check_upgrade_start(const UpgradeStart& start, const std::string& device_board_type, FirmwareInfo& out) {
    int32_t result = decode_firmware_header(start.header, out);
    if (result != OVIX_OK) return result;
    if (start.file_size < kFirmwareHeaderSize || start.file_size - kFirmwareHeaderSize != out.image_length)
        return OVIX_ERR_UPGRADE_INVALID;
    if (out.board_type != device_board_type) return OVIX_ERR_UPGRADE_BOARD;
    return OVIX_OK;
}

std::string version_text(const FirmwareVersion& v) {
    char text[48];
    std::snprintf(text, sizeof text, "%d.%d.%d", v.major, v.minor, v.build);
    return text;
}

} // namespace ovix
