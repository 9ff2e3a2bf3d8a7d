#include "ui/ipctest/QrCodeView.h"

#include <QPainter>

#include <algorithm>

QrCodeView::QrCodeView(QWidget* parent) : QWidget(parent) {}

void QrCodeView::set_text(const QString& text) {
    if (text.isEmpty()) return;
    m_filled = true;
    m_symbol = encode_qr(text.toStdString());
    // The symbol is never scaled, and a cut-off symbol cannot be scanned: a symbol larger
    // than the frame extends it to the right and down, over whatever lies there.
    if (m_symbol) {
        const int needed = kOriginPixels + kModulePixels * m_symbol->width;
        if (needed > width() || needed > height()) {
            resize(std::max(width(), needed), std::max(height(), needed));
            raise();
        }
    }
    update();
}

void QrCodeView::clear() {
    m_filled = false;
    m_symbol.reset();
    update();
}

QSize QrCodeView::sizeHint() const {
    // A version 1 symbol (21 modules) with the same margin on every side.
    const int side = 2 * kOriginPixels + 21 * kModulePixels;
    return {side, side};
}

void QrCodeView::paintEvent(QPaintEvent*) {
    if (!m_filled) return;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_symbol) return;
    const int width = m_symbol->width;
    for (int y = 0; y < width; ++y) {
        for (int x = 0; x < width; ++x) {
            if (!m_symbol->dark[static_cast<size_t>(y * width + x)]) continue;
            painter.fillRect(kOriginPixels + kModulePixels * x, kOriginPixels + kModulePixels * y, kModulePixels,
                             kModulePixels, Qt::black);
        }
    }
}
