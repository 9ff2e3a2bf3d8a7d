// The firmware file's header as a camera checks it at an upgrade start, and the transfer that
// follows. Most headers fail their digest; the target also signs each one itself, so that the
// fields behind the digest are reached too.
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/FirmwareHeader.h"
#include "devsdk/protocol/UpgradeReceiver.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>

using namespace ovix;

namespace {

constexpr size_t kSignedBytes = 424;

FirmwareHeaderBytes signed_copy(const FirmwareHeaderBytes& header) {
    FirmwareHeaderBytes out = header;
    ImageDigest digest;
    digest.update(ByteView(out).first(kSignedBytes));
    const Digest sum = digest.finish();
    std::copy(sum.begin(), sum.end(), out.begin() + kSignedBytes);
    return out;
}

bool same(const FirmwareInfo& a, const FirmwareInfo& b) {
    return a.board_type == b.board_type && a.version == b.version && a.image_length == b.image_length &&
           a.image_digest == b.image_digest && a.description == b.description;
}

// A decoded header encodes to one that decodes to the same fields; texts filled to the end
// of their field are cut by one on the way, so compare from the second round.
void check_header_round_trip(const FirmwareInfo& info) {
    FirmwareInfo once;
    FUZZ_CHECK(decode_firmware_header(encode_firmware_header(info), once) == OVIX_OK);
    FirmwareInfo twice;
    FUZZ_CHECK(decode_firmware_header(encode_firmware_header(once), twice) == OVIX_OK);
    FUZZ_CHECK(same(once, twice));
}

// The image bytes after an accepted start, in pieces whose sizes the input chooses.
void check_transfer(const FirmwareInfo& info, fuzz::Input& in) {
    UpgradeReceiver receiver;
    receiver.begin(info);
    UpgradeProgress progress;
    while (receiver.upgrading && in.remaining() > 0) {
        const size_t piece = 1 + in.byte() % 64;
        const uint64_t before = receiver.received;
        const bool report = receiver.take(in.take(piece), progress);
        FUZZ_CHECK(receiver.received >= before);
        if (receiver.upgrading) {
            FUZZ_CHECK(receiver.percent() >= 0 && receiver.percent() <= 100);
            FUZZ_CHECK(!report || progress.state == kUpgradeReceiving);
        } else {
            FUZZ_CHECK(report);
            // Whole only with every announced byte and no more; the digest decides the rest.
            FUZZ_CHECK(progress.state == OVIX_ERR_UPGRADE_INVALID ||
                       (progress.state == kUpgradeComplete && receiver.received == info.image_length));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    UpgradeStart start;
    start.file_size = static_cast<uint64_t>(in.u32()) | static_cast<uint64_t>(in.u32()) << 32;
    const ByteView header = in.take(kFirmwareHeaderSize);
    std::copy(header.begin(), header.end(), start.header.begin());

    FirmwareInfo info;
    const int32_t as_sent = decode_firmware_header(start.header, info);
    FUZZ_CHECK(as_sent == OVIX_OK || as_sent == OVIX_ERR_UPGRADE_INVALID);

    start.header = signed_copy(start.header);
    const int32_t decoded = decode_firmware_header(start.header, info);
    FUZZ_CHECK(decoded == OVIX_OK || decoded == OVIX_ERR_UPGRADE_INVALID);
    if (decoded != OVIX_OK) return 0;
    FUZZ_CHECK(info.board_type.size() <= kBoardTypeSize && info.description.size() <= kDescriptionSize);
    check_header_round_trip(info);
    (void)version_text(info.version);

    const int32_t checked = check_upgrade_start(start, "0x3516", info);
    FUZZ_CHECK(checked == OVIX_OK || checked == OVIX_ERR_UPGRADE_INVALID || checked == OVIX_ERR_UPGRADE_BOARD);
    if (checked != OVIX_OK) return 0;
    FUZZ_CHECK(start.file_size == kFirmwareHeaderSize + info.image_length && info.board_type == "0x3516");
    check_transfer(info, in);
    return 0;
}
