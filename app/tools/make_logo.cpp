// Writes the program's artwork at build time: the guide menu's logo picture and, for the
// desktop's menu, the program icon at the sizes asked for.
//   make_logo LOGO.bmp [SIZE ICON.png]...
#include "ui/shared/ProgramIcon.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>

namespace {

bool save(const QImage& image, const char* path, const char* format) {
    if (image.save(QString::fromLocal8Bit(path), format)) return true;
    std::fprintf(stderr, "make_logo: cannot write %s\n", path);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: %s LOGO.bmp [SIZE ICON.png]...\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    if (!save(logo_image(QSize(kLogoWidth, kLogoHeight)).convertToFormat(QImage::Format_RGB888), argv[1], "BMP"))
        return 1;
    for (int i = 2; i < argc; i += 2) {
        const int size = std::atoi(argv[i]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "make_logo: icon size %s is not 16 to 1024\n", argv[i]);
            return 2;
        }
        if (!save(program_icon_image(size), argv[i + 1], "PNG")) return 1;
    }
    return 0;
}
