#include "ui/shared/ProgramIcon.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace {

const QColor kDeep(0x12, 0x3b, 0x5c);
const QColor kTeal(0x1f, 0x8a, 0x8a);
const QColor kLight(0xe8, 0xf4, 0xf4);

// A camera lens in a rounded square: outer ring, glass, highlight.
void draw_mark(QPainter& p, const QRectF& box) {
    const qreal s = box.width();
    QPainterPath tile;
    tile.addRoundedRect(box, s * 0.2, s * 0.2);
    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0, kTeal);
    fill.setColorAt(1, kDeep);
    p.fillPath(tile, fill);

    const QPointF c = box.center();
    p.setPen(Qt::NoPen);
    p.setBrush(kLight);
    p.drawEllipse(c, s * 0.32, s * 0.32);
    p.setBrush(kDeep);
    p.drawEllipse(c, s * 0.22, s * 0.22);
    p.setBrush(QColor(0x3f, 0xb8, 0xc0));
    p.drawEllipse(c, s * 0.11, s * 0.11);
    p.setBrush(kLight);
    p.drawEllipse(c + QPointF(-s * 0.08, -s * 0.08), s * 0.04, s * 0.04);
}

} // namespace

QImage program_icon_image(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw_mark(p, QRectF(0, 0, size, size));
    return image;
}

QIcon program_icon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(program_icon_image(size)));
    return icon;
}

QImage logo_image(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const qreal h = size.height();
    const qreal mark = h * 0.62;
    const QRectF mark_box(h * 0.19, (h - mark) / 2, mark, mark);
    draw_mark(p, mark_box);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(static_cast<int>(h * 0.3));
    title.setBold(true);
    p.setFont(title);
    p.setPen(kDeep);
    const QRectF text_box(mark_box.right() + h * 0.15, 0, size.width() - mark_box.right() - h * 0.2, h * 0.62);
    p.drawText(text_box, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("fleetset"));

    QFont tag(QStringLiteral("DejaVu Sans"));
    tag.setPixelSize(static_cast<int>(h * 0.1));
    p.setFont(tag);
    p.setPen(kTeal);
    p.drawText(QRectF(text_box.left(), h * 0.64, text_box.width(), h * 0.2), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("camera fleet tools"));
    return image;
}
