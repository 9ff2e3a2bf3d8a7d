#include "ui/batch/IpAddressField.h"

#include <QFontMetrics>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <algorithm>

IpAddressField::IpAddressField(QWidget* parent) : QLineEdit(parent) {
    // Up to four parts of 0..255; partial input is allowed while typing.
    static const QRegularExpression pattern(
        R"(^((25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)(\.(?!$)|$)){0,4}$)");
    setValidator(new QRegularExpressionValidator(pattern, this));
    setPlaceholderText(QStringLiteral("0.0.0.0"));
}

QString IpAddressField::address() const {
    const QString shown = text().trimmed();
    return shown.isEmpty() ? QStringLiteral("0.0.0.0") : shown;
}

void IpAddressField::set_address(const QString& address) {
    setText(address == QLatin1String("0.0.0.0") ? QString() : address);
}

QSize IpAddressField::minimumSizeHint() const {
    QSize size = QLineEdit::minimumSizeHint();
    // The text plus the frame and the text margins the style puts around it.
    const int text = fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255"));
    size.setWidth(std::max(size.width(), text + 2 * fontMetrics().averageCharWidth() + 8));
    return size;
}

QSize IpAddressField::sizeHint() const {
    QSize size = QLineEdit::sizeHint();
    size.setWidth(std::max(size.width(), minimumSizeHint().width()));
    return size;
}
