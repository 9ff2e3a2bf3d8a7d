#include "SdkTest.h"

#include "devsdk/ovix_client.h"
#include "devsdk/protocol/FirmwareFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <tuple>

using namespace ovix;

namespace {

FirmwareInfo sample_info() {
    return FirmwareInfo{"IPC-S100", {1, 2, 3}, 1000, {7}, "test image"};
}

Bytes read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(Firmware, VersionSitsAtBytes32To43AsLittleEndianIntegers) {
    FirmwareInfo info = sample_info();
    info.version = {0x01020304, -2, 300};
    FirmwareHeaderBytes header = encode_firmware_header(info);
    EXPECT_EQ(std::tuple(load_u32(header.data()), load_u32(header.data() + 32), load_u32(header.data() + 36),
                         load_u32(header.data() + 40)),
              std::tuple(kFirmwareMagic, 0x01020304u, static_cast<uint32_t>(-2), 300u));

    FirmwareInfo back;
    ASSERT_EQ(decode_firmware_header(header, back), OVIX_OK);
    EXPECT_EQ(std::tie(back.version, back.board_type, back.image_length, back.image_digest, back.description),
              std::tie(info.version, info.board_type, info.image_length, info.image_digest, info.description));
    EXPECT_EQ(version_text(info.version), "16909060.-2.300");
}

TEST(Firmware, DeviceRefusesDamagedForeignOrMismatchedHeadersBeforeData) {
    FirmwareInfo info = sample_info();
    UpgradeStart start{kFirmwareHeaderSize + info.image_length, encode_firmware_header(info)};
    FirmwareInfo out;
    EXPECT_EQ(check_upgrade_start(start, "IPC-S100", out), OVIX_OK);
    EXPECT_EQ(check_upgrade_start(start, "IPC-S200", out), OVIX_ERR_UPGRADE_BOARD);

    UpgradeStart truncated = start;
    truncated.file_size -= 1;
    EXPECT_EQ(check_upgrade_start(truncated, "IPC-S100", out), OVIX_ERR_UPGRADE_INVALID);
    truncated.file_size = 10;
    EXPECT_EQ(check_upgrade_start(truncated, "IPC-S100", out), OVIX_ERR_UPGRADE_INVALID);

    for (size_t at : {size_t{0}, size_t{33}, size_t{200}, size_t{455}}) {
        UpgradeStart damaged = start;
        damaged.header[at] ^= 0x01;
        EXPECT_EQ(check_upgrade_start(damaged, "IPC-S100", out), OVIX_ERR_UPGRADE_INVALID) << "byte " << at;
    }
    EXPECT_EQ(check_upgrade_start(UpgradeStart{kFirmwareHeaderSize, {}}, "", out), OVIX_ERR_UPGRADE_INVALID);
}

TEST(Firmware, MadeFilesCarryTheirHeaderAndAVerifiableImage) {
    TempFile file;
    FirmwareRecipe recipe{"IPC-S100", {2, 0, 17}, 200000, 42, "nightly"};
    ASSERT_EQ(make_firmware_file(file.path(), recipe), OVIX_OK);

    Bytes bytes = read_all(file.path());
    ASSERT_EQ(bytes.size(), kFirmwareHeaderSize + 200000);
    FirmwareInfo info;
    ASSERT_EQ(read_firmware_header(file.path(), info), OVIX_OK);
    EXPECT_EQ(info.version, (FirmwareVersion{2, 0, 17}));
    ImageDigest digest;
    digest.update(ByteView(bytes).subspan(kFirmwareHeaderSize));
    EXPECT_EQ(digest.finish(), info.image_digest);

    // The same seed makes the same image; another seed another one.
    TempFile again, other;
    make_firmware_file(again.path(), recipe);
    recipe.seed = 43;
    make_firmware_file(other.path(), recipe);
    EXPECT_EQ(read_all(again.path()), bytes);
    FirmwareInfo other_info;
    read_firmware_header(other.path(), other_info);
    EXPECT_NE(other_info.image_digest, info.image_digest);

    EXPECT_EQ(read_firmware_header("/nonexistent/firmware.update", info), OVIX_ERR_FILE);
    EXPECT_EQ(make_firmware_file("/nonexistent/dir/x.update", recipe), OVIX_ERR_FILE);
}
