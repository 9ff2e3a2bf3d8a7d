#include "ui/batch/SettingsStore.h"

#include "foundation/debug_log.h"
#include "ui/batch/KeychainSecretStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

namespace {

const QString kAllStepsName = QStringLiteral("all_steps");
const QString kOnvifUserName = QStringLiteral("onvif_user");
const QString kOnvifPasswordName = QStringLiteral("onvif_pass");
const QString kOnvifExpectName = QStringLiteral("onvif_expect_version");
const QString kOnvifPreferName = QStringLiteral("onvif_for_both");

constexpr const char* kFile = "fleetsetDlg";

bool is_password(const QString& name) { return name == QLatin1String("pass") || name == QLatin1String("defaultpwd"); }

// QSettings reads on past lines it cannot parse. A file with such lines, or with bytes that
// no text has, is damaged: it reads as the first run rather than as fragments.
bool looks_like_settings(const QByteArray& bytes) {
    if (bytes.contains('\0')) return false;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        const bool fine = line.isEmpty() || line.startsWith(';') || (line.startsWith('[') && line.endsWith(']')) ||
                          line.contains('=');
        if (!fine) return false;
    }
    return true;
}

bool is_settings_file(const QString& path) {
    QFile bytes(path);
    if (!bytes.open(QIODevice::ReadOnly) || !looks_like_settings(bytes.readAll())) return false;
    QSettings file(path, QSettings::IniFormat);
    file.allKeys();  // parses every section, so that a format error shows in the status
    return file.status() == QSettings::NoError;
}

// Makes the missing directories above the file, each for its owner only.
bool make_private_dirs(const QString& dir) {
    QStringList missing;
    for (QString d = QDir::cleanPath(dir); !QFileInfo::exists(d);) {
        missing.prepend(d);
        const QString up = QFileInfo(d).path();
        if (up == d) break;
        d = up;
    }
    for (const QString& d : missing)
        if (::mkdir(QFile::encodeName(d).constData(), 0700) != 0 && errno != EEXIST) return false;
    return QFileInfo(dir).isDir();
}

// A text that QSettings writes as an empty value (a null QString may not be).
QString text_of(const SettingsValues& values, const QString& name) {
    const auto it = values.find(name);
    return it == values.end() || it->second.isNull() ? QString(QLatin1String("")) : it->second;
}

std::optional<QString> file_text(const QSettings& file, const QString& name) {
    const QVariant value = file.value(name);
    if (value.typeId() != QMetaType::QString) return std::nullopt;  // absent, or a list typed by hand
    return value.toString();
}

} // namespace

QString SettingsStore::default_path() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/lumora/fleetsync.ini");
}

SettingsStore::SettingsStore(QString path, std::unique_ptr<SecretStore> secrets)
    : m_path(std::move(path)), m_own_directory(m_path == default_path()), m_secrets(std::move(secrets)) {
    if (!m_secrets) m_secrets = std::make_unique<KeychainSecretStore>();
}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::passwords_in_keychain() {
    const bool keychain = m_secrets->available();
    if (m_logged_choice != static_cast<int>(keychain)) {
        m_logged_choice = keychain;
        if (keychain)
            debug_log("settings: passwords kept in the desktop secret store\n");
        else
            debug_log("settings: no secret store; passwords kept in the owner-only file %s\n",
                m_path.toUtf8().constData());
    }
    return keychain;
}

// Leaves an owner-only file in place for QSettings to replace: the replacement takes over
// the old file's mode, while a file that QSettings creates itself would be readable by all.
// A damaged file is emptied first, so that none of it is carried over.
bool SettingsStore::make_private_file() {
    if (m_path.isEmpty()) return false;
    const QString dir = QFileInfo(m_path).absolutePath();
    if (!make_private_dirs(dir)) return false;
    if (m_own_directory) ::chmod(QFile::encodeName(dir).constData(), 0700);
    const QByteArray file = QFile::encodeName(m_path);
    ::chmod(file.constData(), 0600);  // an owner's read-only file becomes writable again
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (is_settings_file(m_path) ? 0 : O_TRUNC);
    const int fd = ::open(file.constData(), flags, 0600);
    if (fd < 0) return false;
    const bool ok = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return ok;
}

int SettingsStore::save_cfg_param(const SettingsValues& values) {
    if (!make_private_file()) {
        DEBUG_LOCATION(kFile, "CfleetsetDlg::save_cfg_param");
        return 1;
    }
    const bool keychain = passwords_in_keychain();
    QSettings file(m_path, QSettings::IniFormat);
    std::vector<std::pair<QString, QVariant>> beside;  // kept by their own calls
    for (const QString& name : {kAllStepsName, kOnvifUserName, kOnvifPasswordName, kOnvifExpectName, kOnvifPreferName})
        if (const QVariant value = file.value(name); value.isValid()) beside.emplace_back(name, value);
    file.clear();  // only this save's values remain, whatever an older file held
    for (const auto& [name, value] : beside) file.setValue(name, value);
    for (const SettingsValue& value : kSettingsValues) {
        const QString name = QString::fromLatin1(value.name);
        const QString text = text_of(values, name);
        if (keychain && is_password(name) && m_secrets->write(name, text)) continue;
        file.setValue(name, text);
    }
    file.sync();
    if (file.status() != QSettings::NoError) {
        DEBUG_LOCATION(kFile, "CfleetsetDlg::save_cfg_param");
        return 1;
    }
    return 0;
}

int SettingsStore::load_cfg_param(SettingsValues& values) {
    if (!QFileInfo(m_path).isFile() || !is_settings_file(m_path)) {
        DEBUG_LOCATION(kFile, "CfleetsetDlg::load_cfg_param");
        return 1;
    }
    ::chmod(QFile::encodeName(m_path).constData(), 0600);  // a file left readable by others is closed now
    const QSettings file(m_path, QSettings::IniFormat);
    const bool keychain = passwords_in_keychain();
    for (const SettingsValue& value : kSettingsValues) {
        if (!value.restored) continue;
        const QString name = QString::fromLatin1(value.name);
        std::optional<QString> text;
        if (keychain && is_password(name)) text = m_secrets->read(name);
        if (!text) text = file_text(file, name);  // also a password kept before a keychain was there
        if (text && text->size() <= kMaxRestoredChars) values[name] = *text;
    }
    return 0;
}

bool SettingsStore::load_all_steps() {
    if (!QFileInfo(m_path).isFile() || !is_settings_file(m_path)) return false;
    const QSettings file(m_path, QSettings::IniFormat);
    return file.value(kAllStepsName).toString() == QLatin1String("1");
}

int SettingsStore::save_all_steps(bool on) {
    if (!make_private_file()) return 1;
    QSettings file(m_path, QSettings::IniFormat);
    file.setValue(kAllStepsName, on ? QStringLiteral("1") : QStringLiteral("0"));
    file.sync();
    return file.status() == QSettings::NoError ? 0 : 1;
}

void SettingsStore::load_onvif_login(QString& user, QString& password) {
    user.clear();
    password.clear();
    if (!QFileInfo(m_path).isFile() || !is_settings_file(m_path)) return;
    const QSettings file(m_path, QSettings::IniFormat);
    user = file_text(file, kOnvifUserName).value_or(QString());
    std::optional<QString> secret;
    if (passwords_in_keychain()) secret = m_secrets->read(kOnvifPasswordName);
    if (!secret) secret = file_text(file, kOnvifPasswordName);
    password = secret.value_or(QString());
}

int SettingsStore::save_onvif_login(const QString& user, const QString& password) {
    if (!make_private_file()) return 1;
    const bool keychain = passwords_in_keychain();
    QSettings file(m_path, QSettings::IniFormat);
    file.setValue(kOnvifUserName, user.isNull() ? QString(QLatin1String("")) : user);
    if (keychain && m_secrets->write(kOnvifPasswordName, password))
        file.remove(kOnvifPasswordName);  // one kept in the file before a keychain was there goes
    else
        file.setValue(kOnvifPasswordName, password.isNull() ? QString(QLatin1String("")) : password);
    file.sync();
    return file.status() == QSettings::NoError ? 0 : 1;
}

void SettingsStore::load_onvif_job(QString& expected_version, bool& prefer_onvif) {
    expected_version.clear();
    prefer_onvif = false;
    if (!QFileInfo(m_path).isFile() || !is_settings_file(m_path)) return;
    const QSettings file(m_path, QSettings::IniFormat);
    expected_version = file_text(file, kOnvifExpectName).value_or(QString());
    prefer_onvif = file.value(kOnvifPreferName).toString() == QLatin1String("1");
}

int SettingsStore::save_onvif_job(const QString& expected_version, bool prefer_onvif) {
    if (!make_private_file()) return 1;
    QSettings file(m_path, QSettings::IniFormat);
    file.setValue(kOnvifExpectName, expected_version.isNull() ? QString(QLatin1String("")) : expected_version);
    file.setValue(kOnvifPreferName, QLatin1String(prefer_onvif ? "1" : "0"));
    file.sync();
    return file.status() == QSettings::NoError ? 0 : 1;
}
