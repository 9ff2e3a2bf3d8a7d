#include "ui/batch/OnvifLoginDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

OnvifLoginDialog::OnvifLoginDialog(QWidget* parent, const Lang& lang, const QString& user, const QString& password)
    : QDialog(parent), m_user(new QLineEdit(user, this)), m_password(new QLineEdit(password, this)) {
    setWindowTitle(lang("IDS_ONVIF_LOGIN_TITLE"));
    m_password->setEchoMode(QLineEdit::Password);
    // The longest name a kept text may have; see SettingsStore.
    m_user->setMaxLength(127);
    m_password->setMaxLength(127);
    auto* note = new QLabel(lang("IDS_ONVIF_LOGIN_NOTE"), this);
    note->setWordWrap(true);
    auto* fields = new QFormLayout;
    fields->addRow(lang("IDS_USER_NAME"), m_user);
    fields->addRow(lang("IDS_PASSWORD"), m_password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(lang("IDS_OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(lang("IDS_CANCEL"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

QString OnvifLoginDialog::user() const { return m_user->text(); }
QString OnvifLoginDialog::password() const { return m_password->text(); }
