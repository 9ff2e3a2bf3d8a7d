#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A QR symbol of a camera's cloud UID, which the operator scans with the phone application
// that will later pair with the camera.
struct QrSymbol {
    int version = 0;
    int width = 0;              // modules per side
    std::vector<uint8_t> dark;  // width * width, row after row; 1 for a dark module
};

// Encodes the text as 8-bit data at error-correction level H, in the smallest version that
// holds it, letters kept in their case. The text ends at its first NUL. No symbol for an
// empty text or when the encoder fails (a text too long for any version).
std::optional<QrSymbol> encode_qr(const std::string& text);
