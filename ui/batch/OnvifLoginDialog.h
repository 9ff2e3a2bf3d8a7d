#pragma once
#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QLineEdit;

// The ONVIF cameras' side of the window: the user name and password they are read and worked
// on with, the version an upgrade must leave them on when the firmware file has no header of
// ours, and whether a camera that speaks both protocols is worked on over ONVIF.
class OnvifLoginDialog : public QDialog {
    Q_OBJECT
public:
    using Lang = std::function<QString(const char* key)>;
    OnvifLoginDialog(QWidget* parent, const Lang& lang, const QString& user, const QString& password,
                     const QString& expected_version = {}, bool prefer_onvif = false);

    QString user() const;
    QString password() const;
    QString expected_version() const;
    bool prefer_onvif() const;
    QLineEdit* user_edit() const { return m_user; }
    QLineEdit* password_edit() const { return m_password; }

private:
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_expected;
    QCheckBox* m_prefer;
};
