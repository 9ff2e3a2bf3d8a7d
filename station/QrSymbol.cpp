#include "station/QrSymbol.h"

#include <qrencode.h>

#include <memory>

std::optional<QrSymbol> encode_qr(const std::string& text) {
    if (text.empty() || text.front() == '\0') return std::nullopt;
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(text.c_str(), 1, QR_ECLEVEL_H, QR_MODE_8, 1), &QRcode_free);
    if (!code || code->width <= 0 || !code->data) return std::nullopt;

    QrSymbol symbol{code->version, code->width, {}};
    const size_t modules = static_cast<size_t>(code->width) * static_cast<size_t>(code->width);
    symbol.dark.resize(modules);
    // Each module byte carries more than the colour; bit 0 alone says dark.
    for (size_t i = 0; i < modules; ++i) symbol.dark[i] = static_cast<uint8_t>(code->data[i] & 1u);
    return symbol;
}
