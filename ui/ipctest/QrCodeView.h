#pragma once
#include "station/QrSymbol.h"

#include <QString>
#include <QWidget>

#include <optional>

// The test window's QR area: the symbol of the camera's cloud UID on white, 8-pixel modules
// from 8 pixels right of and below the top-left corner, never scaled (a symbol larger than
// the area grows the area to the right and down, so that it can be scanned whole). The symbol
// is kept and drawn on every paint, so it survives covering, repainting and resizing.
class QrCodeView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kModulePixels = 8;
    static constexpr int kOriginPixels = 8;

    explicit QrCodeView(QWidget* parent = nullptr);

    // Shows the symbol of `text` (as UTF-8). An empty text leaves the view as it was; a text
    // the encoder refuses leaves the area white.
    void set_text(const QString& text);
    // No symbol at all: the session it belonged to has ended.
    void clear();
    bool has_symbol() const { return m_symbol.has_value(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_filled = false;  // white since the first non-empty text
    std::optional<QrSymbol> m_symbol;
};
