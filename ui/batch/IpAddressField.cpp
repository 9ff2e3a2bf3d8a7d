#include "ui/batch/IpAddressField.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

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
