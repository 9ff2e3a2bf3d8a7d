// The QR symbol of a cloud UID against the encoder's own symbol for the same request.
#include "station/QrSymbol.h"

#include <gtest/gtest.h>
#include <qrencode.h>

namespace {

TEST(QrSymbol, MatchesTheEncoderModuleForModuleAndKeepsCase) {
    for (const std::string text : {"TUYA1234567890ABCDEF", "tuya1234567890abcdef", "ab12cD3", "Uid-0042-XyZ"}) {
        QRcode* code = QRcode_encodeString(text.c_str(), 1, QR_ECLEVEL_H, QR_MODE_8, 1);
        const auto symbol = encode_qr(text);
        ASSERT_TRUE(code && symbol) << text;
        EXPECT_EQ(symbol->version, code->version) << text;
        ASSERT_EQ(symbol->width, code->width) << text;
        for (size_t i = 0; i < symbol->dark.size(); ++i) EXPECT_EQ(symbol->dark[i], code->data[i] & 1) << text << i;
        QRcode_free(code);
    }
    EXPECT_NE(encode_qr("TUYA1234567890ABCDEF")->dark, encode_qr("tuya1234567890abcdef")->dark);
    EXPECT_EQ(encode_qr("ab12cD3")->width, 21);  // version 1
    EXPECT_EQ(encode_qr(""), std::nullopt);
    EXPECT_EQ(encode_qr(std::string(3000, 'x')), std::nullopt);  // too long for any version
}

} // namespace
