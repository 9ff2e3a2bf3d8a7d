#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The picture a simulated camera sends: vertical colour bars that scroll and a square that
// bounces, both seen through the digital zoom, with the camera's clock (top left), the zoom
// (top right) and its MAC (bottom left) written over them unzoomed in a small bitmap font.
// Deterministic, so that a test can draw the picture it expects and compare.
struct PictureShape {
    uint16_t width = 640;
    uint16_t height = 360;
    int64_t device_time_ms = 0;  // the camera's clock: drives the motion and the time stamp
    std::string mac;
    int32_t zoom = 200;          // 200 is 1x, 1000 is 5x; 0 and values below 200 are 1x
};

// Pixels 0x00RRGGBB, row by row.
void render_picture(const PictureShape& shape, std::vector<uint32_t>& out);

// "2024-03-05 14:07:09", the time stamp as drawn.
std::string timestamp_text(int64_t device_time_ms);
