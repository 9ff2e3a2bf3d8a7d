#pragma once
#include <QLineEdit>
#include <QString>

// A dotted IPv4 address entry. Like the address control the window is modelled on, a blank
// field reads as "0.0.0.0".
class IpAddressField : public QLineEdit {
    Q_OBJECT
public:
    explicit IpAddressField(QWidget* parent = nullptr);

    QString address() const;
    void set_address(const QString& address);

    // Never narrower than a whole address: a field showing ".50" hides which camera it means.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;
};
