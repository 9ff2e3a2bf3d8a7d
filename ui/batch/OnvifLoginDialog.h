#pragma once
#include <QDialog>
#include <QString>

#include <functional>

class QLineEdit;

// Asks for the user name and password that the ONVIF cameras in the list are read with.
class OnvifLoginDialog : public QDialog {
    Q_OBJECT
public:
    using Lang = std::function<QString(const char* key)>;
    OnvifLoginDialog(QWidget* parent, const Lang& lang, const QString& user, const QString& password);

    QString user() const;
    QString password() const;
    QLineEdit* user_edit() const { return m_user; }
    QLineEdit* password_edit() const { return m_password; }

private:
    QLineEdit* m_user;
    QLineEdit* m_password;
};
