// The QR area drawn on Qt's offscreen platform: its geometry, an empty text, resizing.
#include "ui/ipctest/QrCodeView.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>

namespace {

// One application object for the whole program, drawing offscreen: no display needed.
struct OffscreenApplication : ::testing::Environment {
    int argc = 1;
    char name[8] = "ipctest";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app.reset(); }
};
[[maybe_unused]] auto* const kApplication = ::testing::AddGlobalTestEnvironment(new OffscreenApplication);

constexpr QRgb kWhite = 0xffffffff, kBlack = 0xff000000;

// Modules inside the picture that do not show their colour at their centre.
int wrong_modules(const QImage& image, const QrSymbol& symbol) {
    int wrong = 0;
    for (int y = 0; y < symbol.width && 12 + 8 * y < image.height(); ++y)
        for (int x = 0; x < symbol.width && 12 + 8 * x < image.width(); ++x)
            wrong += image.pixel(12 + 8 * x, 12 + 8 * y) != (symbol.dark[y * symbol.width + x] ? kBlack : kWhite);
    return wrong;
}

TEST(QrCodeView, DrawsWholeUnscaledModulesThatSurviveAnEmptyTextAndResizing) {
    const auto symbol = encode_qr("TUYA1234567890ABCDEF");
    QrCodeView view;
    view.resize(200, 120);  // smaller than the symbol: the area grows, the symbol is not scaled
    view.set_text("TUYA1234567890ABCDEF");
    const int side = 8 + 8 * symbol->width;
    EXPECT_EQ(view.size(), QSize(std::max(200, side), side));
    const QImage drawn = view.grab().toImage();
    for (const QPoint white : {QPoint(0, 0), QPoint(7, 7)}) EXPECT_EQ(drawn.pixel(white), kWhite);
    for (const QPoint black : {QPoint(8, 8), QPoint(15, 15)}) EXPECT_EQ(drawn.pixel(black), kBlack);
    EXPECT_EQ(wrong_modules(drawn, *symbol), 0);
    view.set_text("");
    EXPECT_EQ(view.grab().toImage(), drawn);
    view.resize(320, 120);
    const QImage resized = view.grab().toImage();
    EXPECT_EQ(resized.size(), QSize(320, 120));
    EXPECT_EQ(resized.pixel(319, 0), kWhite);
    EXPECT_EQ(wrong_modules(resized, *symbol), 0);
}

} // namespace
