#pragma once
#include "devsdk/protocol/Wire.h"

#include <cstdint>

// Picture coding of video frames. Pixels are 32-bit words 0x00RRGGBB (little-endian on the
// wire); decoding sets the top byte to 0xFF, which makes the RGB32 of ovix_frame.
//   raw32: width * height words, row by row.
//   rle32: runs of (u16 count 1..65535, u32 pixel), row by row, runs may cross rows; the
//          counts add up to exactly width * height.
namespace ovix {

enum : uint16_t { kCodecRaw32 = 1, kCodecRle32 = 2 };
constexpr uint16_t kMaxVideoWidth = 1920;
constexpr uint16_t kMaxVideoHeight = 1088;

Bytes encode_raw32(const uint32_t* pixels, uint16_t width, uint16_t height);
Bytes encode_rle32(const uint32_t* pixels, uint16_t width, uint16_t height);

bool picture_size_ok(uint16_t width, uint16_t height);

// Decodes into out, which holds width * height words. False, with out in an unspecified
// state, for an unknown codec, a size outside the limits, or data that does not add up.
bool decode_picture(uint16_t codec, ByteView data, uint16_t width, uint16_t height, uint32_t* out);

} // namespace ovix
