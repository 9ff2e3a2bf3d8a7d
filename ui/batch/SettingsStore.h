#pragma once
#include "ui/batch/ControlIds.h"
#include "ui/batch/SecretStore.h"

#include <QString>

#include <array>
#include <map>
#include <memory>

// The batch window's inputs kept between runs, one text per value name.
using SettingsValues = std::map<QString, QString>;

// The kept values in the order they are written, with the control each one comes from.
// Only the `restored` ones are given back at start; the combo boxes always start on their
// fixed defaults.
struct SettingsValue {
    const char* name;
    int control;
    bool restored;
};
inline constexpr std::array<SettingsValue, 18> kSettingsValues{{
    {"user", batch_ids::UserNameEdit, true},
    {"pass", batch_ids::PasswordEdit, true},
    {"ipb", batch_ids::RangeFirstAddress, true},
    {"ipe", batch_ids::RangeLastAddress, true},
    {"path", batch_ids::FirmwarePathEdit, true},
    {"pathlogo", batch_ids::LogoPathEdit, true},
    {"timezone", batch_ids::TimeZoneCombo, false},
    {"timeformat", batch_ids::TimeFormatCombo, false},
    {"videostd", batch_ids::VideoStandardCombo, false},
    {"language", batch_ids::LanguageCombo, false},
    {"defaultpwd", batch_ids::DefaultPasswordEdit, true},
    {"maxch", batch_ids::MaxChannelCombo, false},
    {"defaultch", batch_ids::DefaultChannelCombo, false},
    {"newipaddr", batch_ids::IpAddressEdit, true},
    {"submask", batch_ids::SubmaskEdit, true},
    {"gateway", batch_ids::GatewayEdit, true},
    {"dns1", batch_ids::Dns1Edit, true},
    {"dns2", batch_ids::Dns2Edit, true},
}};

// A kept text longer than this is not given back (the control keeps its start text).
inline constexpr int kMaxRestoredChars = 127;

// Keeps the values in an INI file that only its owner can read or write (file 0600, the
// directories we make 0700), written whole or not at all (QSettings commits through
// QSaveFile: a temporary file renamed over the old one). The two passwords ("pass",
// "defaultpwd") go to the desktop's secret store instead whenever one is available.
//
// Both operations run on the window's thread; see KeychainSecretStore for how long they
// may wait for the keychain.
class SettingsStore {
public:
    // $XDG_CONFIG_HOME/lumora/fleetsync.ini (GenericConfigLocation, usually ~/.config), so
    // the place does not depend on the application's name.
    static QString default_path();

    // path: the INI file (tests give one under a temporary directory). secrets: where the
    // passwords go when it is available; the desktop keychain when none is given.
    explicit SettingsStore(QString path = default_path(), std::unique_ptr<SecretStore> secrets = nullptr);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Writes all 18 values of kSettingsValues: a name missing from `values` is written as
    // empty text, names not in the table are ignored. 0 written; 1 when the file or its
    // directory could not be made or written (one location line logged, nothing changed).
    int save_cfg_param(const SettingsValues& values);

    // Puts into `values` the restored values that are kept and at most kMaxRestoredChars
    // long; it is left alone for the others. 0 read; 1 on the first run, that is when there
    // is no file or it is not a settings file (one location line logged, `values` untouched).
    int load_cfg_param(SettingsValues& values);

    // The window's "All job steps" view, kept in the same private file beside the 18 values
    // (a save of the values keeps it). False when never saved.
    bool load_all_steps();
    int save_all_steps(bool on);

    // The login for the ONVIF cameras, kept beside the values (a save of the values keeps it),
    // its password where the other passwords go. Empty texts when never saved.
    void load_onvif_login(QString& user, QString& password);
    int save_onvif_login(const QString& user, const QString& password);

    // The ONVIF options of a job (see CfleetsetDlg::set_onvif_job), kept beside the values.
    void load_onvif_job(QString& expected_version, bool& prefer_onvif);
    int save_onvif_job(const QString& expected_version, bool prefer_onvif);

    const QString& path() const { return m_path; }

private:
    bool passwords_in_keychain();
    bool make_private_file();

    QString m_path;
    bool m_own_directory;  // the default place: its directory is ours to keep private
    std::unique_ptr<SecretStore> m_secrets;
    int m_logged_choice = -1;  // which password place was last logged, -1 none
};
