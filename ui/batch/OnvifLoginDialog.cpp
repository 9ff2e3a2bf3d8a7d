#include "ui/batch/OnvifLoginDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

OnvifLoginDialog::OnvifLoginDialog(QWidget* parent, const Lang& lang, const QString& user, const QString& password,
                                   const QString& expected_version, bool prefer_onvif)
    : QDialog(parent), m_user(new QLineEdit(user, this)), m_password(new QLineEdit(password, this)),
      m_expected(new QLineEdit(expected_version, this)), m_prefer(new QCheckBox(lang("IDS_ONVIF_FOR_BOTH"), this)) {
    setWindowTitle(lang("IDS_ONVIF_LOGIN_TITLE"));
    m_password->setEchoMode(QLineEdit::Password);
    // The longest name a kept text may have; see SettingsStore.
    m_user->setMaxLength(127);
    m_password->setMaxLength(127);
    m_expected->setMaxLength(63);
    m_prefer->setChecked(prefer_onvif);
    auto* note = new QLabel(lang("IDS_ONVIF_LOGIN_NOTE"), this);
    note->setWordWrap(true);
    auto* fields = new QFormLayout;
    fields->addRow(lang("IDS_USER_NAME"), m_user);
    fields->addRow(lang("IDS_PASSWORD"), m_password);
    fields->addRow(lang("IDS_ONVIF_EXPECTED_VERSION"), m_expected);
    fields->addRow(QString(), m_prefer);
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
QString OnvifLoginDialog::expected_version() const { return m_expected->text().trimmed(); }
bool OnvifLoginDialog::prefer_onvif() const { return m_prefer->isChecked(); }
