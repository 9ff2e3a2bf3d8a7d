#include "sim/SyntheticPicture.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr std::array<uint32_t, 8> kBars{0xC0C0C0, 0xC0C000, 0x00C0C0, 0x00C000, 0xC000C0, 0xC00000, 0x0000C0, 0x202020};
constexpr uint32_t kSquare = 0xF0F0F0;

// 5x7 glyphs, one byte per row, bit 4 the leftmost pixel.
struct Glyph {
    char c;
    std::array<uint8_t, 7> rows;
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {'_', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}}, {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
};
// Characters the font lacks show as a box, so that nothing a camera is given goes unseen.
constexpr std::array<uint8_t, 7> kUnknown{0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F};

const std::array<uint8_t, 7>& glyph(char c) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const Glyph& g : kGlyphs)
        if (g.c == upper) return g.rows;
    return kUnknown;
}

constexpr int kCellWidth = 6;   // a glyph and a column of space
constexpr int kCellHeight = 9;  // a glyph and a row of space above and below

class Canvas {
public:
    Canvas(std::vector<uint32_t>& pixels, int width, int height) : m_pixels(pixels), m_width(width), m_height(height) {}

    void fill(int x0, int y0, int x1, int y1, uint32_t colour) {
        x0 = std::max(x0, 0), y0 = std::max(y0, 0);
        x1 = std::min(x1, m_width), y1 = std::min(y1, m_height);
        for (int y = y0; y < y1; ++y)
            std::fill(m_pixels.begin() + y * m_width + x0, m_pixels.begin() + y * m_width + std::max(x0, x1), colour);
    }

    // White text on a black band, `scale` screen pixels per font pixel.
    void text(const std::string& text, int x, int y, int scale) {
        const int length = static_cast<int>(text.size());
        fill(x, y, x + (length * kCellWidth + 1) * scale, y + kCellHeight * scale, kBlack);
        for (int i = 0; i < length; ++i) {
            const auto& rows = glyph(text[static_cast<size_t>(i)]);
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (rows[static_cast<size_t>(row)] & (0x10 >> col)) {
                        const int px = x + (1 + i * kCellWidth + col) * scale;
                        const int py = y + (1 + row) * scale;
                        fill(px, py, px + scale, py + scale, kWhite);
                    }
        }
    }

private:
    std::vector<uint32_t>& m_pixels;
    int m_width;
    int m_height;
};

} // namespace

std::string timestamp_text(int64_t device_time_ms) {
    const time_t seconds = static_cast<time_t>(device_time_ms / 1000);
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &fields);
    return text;
}

void render_picture(const PictureShape& shape, std::vector<uint32_t>& out) {
    const int w = shape.width;
    const int h = shape.height;
    out.assign(static_cast<size_t>(w) * static_cast<size_t>(h), kBlack);
    if (w <= 0 || h <= 0) return;
    const int64_t zoom = std::clamp<int64_t>(shape.zoom, 200, 1000);
    const int64_t t = shape.device_time_ms;

    // The scene, sampled about the middle of the picture through the zoom.
    const int64_t bar_width = std::max(1, w / static_cast<int>(kBars.size()));
    const int64_t scroll = (t / 40) % w;  // 25 scene pixels a second
    const int64_t side = std::max(2, h / 4);
    const int64_t travel = std::max<int64_t>(1, w - side);
    const int64_t phase = (t / 10) % (2 * travel);  // 100 scene pixels a second, there and back
    const int64_t square_x = phase < travel ? phase : 2 * travel - phase;
    const int64_t square_y = (h - side) / 2;
    const int64_t cx = w / 2;
    const int64_t cy = h / 2;
    for (int y = 0; y < h; ++y) {
        const int64_t sy = cy + (y - cy) * 200 / zoom;
        const bool square_row = sy >= square_y && sy < square_y + side;
        uint32_t* row = out.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
        for (int x = 0; x < w; ++x) {
            const int64_t sx = cx + (x - cx) * 200 / zoom;
            if (square_row && sx >= square_x && sx < square_x + side) {
                row[x] = kSquare;
                continue;
            }
            const int64_t shifted = ((sx + scroll) % w + w) % w;
            row[x] = kBars[static_cast<size_t>(std::min<int64_t>(shifted / bar_width, kBars.size() - 1))];
        }
    }

    // What the camera writes over its picture, unzoomed.
    const int scale = std::max(1, h / 180);
    Canvas canvas(out, w, h);
    canvas.text(timestamp_text(t), 2 * scale, 2 * scale, scale);
    char zoom_text[16];
    std::snprintf(zoom_text, sizeof zoom_text, "ZOOM %d.%dX", static_cast<int>(zoom / 200), static_cast<int>(zoom % 200 / 20));
    const int zoom_width = (static_cast<int>(std::string(zoom_text).size()) * kCellWidth + 1) * scale;
    canvas.text(zoom_text, w - zoom_width - 2 * scale, 2 * scale, scale);
    canvas.text(shape.mac, 2 * scale, h - (kCellHeight + 2) * scale, scale);
}
