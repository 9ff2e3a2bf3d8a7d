#include "devsdk/protocol/VideoCodec.h"

namespace ovix {

namespace {
constexpr uint32_t kOpaque = 0xFF000000u;
constexpr size_t kRunSize = 6;
}

bool picture_size_ok(uint16_t width, uint16_t height) {
    return width > 0 && height > 0 && width <= kMaxVideoWidth && height <= kMaxVideoHeight;
}

Bytes encode_raw32(const uint32_t* pixels, uint16_t width, uint16_t height) {
    Bytes out;
    size_t count = size_t{width} * height;
    out.reserve(count * 4);
    ByteWriter w(out);
    for (size_t i = 0; i < count; ++i) w.u32(pixels[i] & 0x00FFFFFFu);
    return out;
}

Bytes encode_rle32(const uint32_t* pixels, uint16_t width, uint16_t height) {
    Bytes out;
    ByteWriter w(out);
    size_t count = size_t{width} * height;
    size_t i = 0;
    while (i < count) {
        uint32_t pixel = pixels[i] & 0x00FFFFFFu;
        size_t run = 1;
        while (i + run < count && run < 0xFFFF && (pixels[i + run] & 0x00FFFFFFu) == pixel) ++run;
        w.u16(static_cast<uint16_t>(run));
        w.u32(pixel);
        i += run;
    }
    return out;
}

bool decode_picture(uint16_t codec, ByteView data, uint16_t width, uint16_t height, uint32_t* out) {
    if (!picture_size_ok(width, height)) return false;
    const size_t count = size_t{width} * height;
    if (codec == kCodecRaw32) {
        if (data.size() != count * 4) return false;
        for (size_t i = 0; i < count; ++i) out[i] = load_u32(data.data() + 4 * i) | kOpaque;
        return true;
    }
    if (codec != kCodecRle32 || data.size() % kRunSize != 0) return false;
    size_t filled = 0;
    for (size_t at = 0; at < data.size(); at += kRunSize) {
        size_t run = static_cast<size_t>(data[at] | data[at + 1] << 8);
        if (run == 0 || run > count - filled) return false;
        uint32_t pixel = load_u32(data.data() + at + 2) | kOpaque;
        for (size_t k = 0; k < run; ++k) out[filled + k] = pixel;
        filled += run;
    }
    return filled == count;
}

} // namespace ovix
