// Writes the guide menu's logo picture: make_logo OUTPUT.bmp
#include "ui/shared/ProgramIcon.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.bmp\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QImage logo = logo_image(QSize(kLogoWidth, kLogoHeight));
    if (!logo.convertToFormat(QImage::Format_RGB888).save(QString::fromLocal8Bit(argv[1]), "BMP")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
