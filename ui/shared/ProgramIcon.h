#pragma once
#include <QIcon>
#include <QImage>
#include <QSize>

// The program's own artwork, drawn in code: the window icon and the guide menu's logo
// picture (written to logo.bmp at build time).
// The guide menu shows the logo at this size.
inline constexpr int kLogoWidth = 390;
inline constexpr int kLogoHeight = 150;

QImage program_icon_image(int size);
QIcon program_icon();
QImage logo_image(QSize size);
