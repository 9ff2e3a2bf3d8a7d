// The batch window's kept inputs: what comes back at the next start, what never reaches the
// file, and that the file stays private and whole.
#include "support/FakeSecrets.h"
#include "support/LogCapture.h"
#include "support/TempFile.h"
#include "ui/batch/KeychainSecretStore.h"
#include "ui/batch/SettingsStore.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <tuple>

namespace {

QByteArray bytes_of(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int mode_of(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

// Every value distinct, with the characters an INI file must escape.
SettingsValues all_values() {
    SettingsValues values;
    for (const SettingsValue& v : kSettingsValues) values[v.name] = QString::fromLatin1(v.name) + QStringLiteral("-text");
    values["pass"] = QStringLiteral(" p,a=s;s \"密码\" ");
    values["path"] = QStringLiteral("C:\\fw\\ipc v2,final.update");
    values["ipb"] = QStringLiteral("192.168.1.10");
    return values;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    QString file_path() const { return QString::fromStdString(dir.path()) + QStringLiteral("/fleetsync.ini"); }
    SettingsStore store(bool keychain_up, QString path = {}) {
        return SettingsStore(path.isEmpty() ? file_path() : path, std::make_unique<support::FakeSecrets>(keychain_up, keychain));
    }
    support::TempDir dir;
    std::map<QString, QString> keychain;
    LogCapture log;
};

} // namespace

TEST_F(SettingsStoreTest, FirstRunOrDamagedFileRestoresNothing) {
    SettingsValues values{{"user", "Admin"}};
    EXPECT_EQ(store(false).load_cfg_param(values), 1);
    EXPECT_TRUE(log.contains("[fleetsetDlg : CfleetsetDlg::load_cfg_param]"));

    static const char kBinary[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDRuser=x";
    for (const std::string& damaged : {std::string(kBinary, sizeof kBinary - 1),
                                       std::string("[General\nuser=Mallory\npass")}) {
        dir.write("fleetsync.ini", damaged);
        EXPECT_EQ(store(false).load_cfg_param(values), 1);
        EXPECT_EQ(values, (SettingsValues{{"user", "Admin"}}));
        // The next save replaces the damaged file whole.
        EXPECT_EQ(store(false).save_cfg_param({{"user", "Eve"}}), 0);
        EXPECT_FALSE(bytes_of(file_path()).contains("Mallory"));
        SettingsValues restored;
        ASSERT_EQ(store(false).load_cfg_param(restored), 0);
        EXPECT_EQ(restored["user"], "Eve");
    }
}

TEST_F(SettingsStoreTest, TextsComeBackAsSavedButTheComboBoxesStartAfresh) {
    const SettingsValues saved = all_values();
    ASSERT_EQ(store(false).save_cfg_param(saved), 0);
    SettingsValues restored;
    ASSERT_EQ(store(false).load_cfg_param(restored), 0);
    for (const char* name : {"pass", "path", "ipb", "dns2"}) EXPECT_EQ(restored[name], saved.at(name)) << name;
    for (const char* name : {"timezone", "maxch"}) {
        EXPECT_TRUE(bytes_of(file_path()).contains(QByteArray("\n") + name + "=")) << name;
        EXPECT_EQ(restored.count(name), 0u) << name;
    }
}

TEST_F(SettingsStoreTest, RestoresAtMost127CharactersAndEmptyTexts) {
    ASSERT_EQ(store(false).save_cfg_param({{"path", QString(127, 'a')},
                                           {"pathlogo", QString(128, 'b')},
                                           {"user", QString(200, 'c')},
                                           {"pass", ""}}),
        0);
    SettingsValues values{{"user", "Admin"}, {"pass", "typed"}};
    ASSERT_EQ(store(false).load_cfg_param(values), 0);
    // Too long: not restored, the field keeps what it had. An empty password is restored, so the
    // field is emptied; a value missing from the save was written empty.
    EXPECT_EQ(std::tuple(values["path"], values.count("pathlogo"), values["user"], values["pass"], values["dns2"]),
              std::tuple(QString(127, 'a'), size_t{0}, QString("Admin"), QString(), QString()));
}

TEST_F(SettingsStoreTest, FileAndNewDirectoriesAreOwnerOnly) {
    const QString top = QString::fromStdString(dir.path());
    ASSERT_EQ(store(false, top + QStringLiteral("/a/b/fleetsync.ini")).save_cfg_param(all_values()), 0);
    EXPECT_EQ(mode_of(top + QStringLiteral("/a/b/fleetsync.ini")), 0600);
    EXPECT_EQ(mode_of(top + QStringLiteral("/a")), 0700);
    EXPECT_EQ(mode_of(top + QStringLiteral("/a/b")), 0700);

    dir.write("fleetsync.ini", "[General]\nuser=old\n");
    ::chmod(QFile::encodeName(file_path()).constData(), 0644);
    ASSERT_EQ(store(false).save_cfg_param(all_values()), 0);
    EXPECT_EQ(mode_of(file_path()), 0600);

    dir.write("blocker", "a file where a directory should be");
    EXPECT_EQ(store(false, top + QStringLiteral("/blocker/fleetsync.ini")).save_cfg_param(all_values()), 1);
    EXPECT_TRUE(log.contains("[fleetsetDlg : CfleetsetDlg::save_cfg_param]"));
}

TEST_F(SettingsStoreTest, PasswordsStayOutOfTheFileWhileAKeychainIsThere) {
    SettingsValues saved = all_values();
    saved["defaultpwd"] = QStringLiteral("device-secret");
    ASSERT_EQ(store(true).save_cfg_param(saved), 0);
    const QByteArray bytes = bytes_of(file_path());
    EXPECT_FALSE(bytes.contains("device-secret") || bytes.contains("pass=") || bytes.contains("defaultpwd="));
    EXPECT_TRUE(log.contains("desktop secret store"));

    SettingsValues restored;
    ASSERT_EQ(store(true).load_cfg_param(restored), 0);
    EXPECT_EQ(restored["pass"], saved["pass"]);
    EXPECT_EQ(restored["defaultpwd"], "device-secret");
}

TEST_F(SettingsStoreTest, WithoutAKeychainPasswordsGoToTheFileAndMoveOutLater) {
    SettingsValues saved = all_values();
    saved["defaultpwd"] = QStringLiteral("device-secret");
    ASSERT_EQ(store(false).save_cfg_param(saved), 0);
    EXPECT_TRUE(bytes_of(file_path()).contains("device-secret"));
    EXPECT_TRUE(log.contains("passwords kept in the owner-only file"));

    // A keychain that appears later finds them in the file, and the next save moves them.
    SettingsValues restored;
    ASSERT_EQ(store(true).load_cfg_param(restored), 0);
    EXPECT_EQ(restored["defaultpwd"], "device-secret");
    ASSERT_EQ(store(true).save_cfg_param(restored), 0);
    EXPECT_FALSE(bytes_of(file_path()).contains("device-secret"));
    EXPECT_EQ(keychain["defaultpwd"], "device-secret");
}

TEST_F(SettingsStoreTest, NoSecretServiceOnTheBusMeansTheFile) {
    int argc = 1;
    char name[] = "settings_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QString dead_bus = QStringLiteral("unix:path=") + QString::fromStdString(dir.path()) + QStringLiteral("/no-bus");
    auto desktop = std::make_unique<KeychainSecretStore>(QStringLiteral("fleetset-test"), dead_bus);
    EXPECT_FALSE(desktop->available());

    SettingsStore settings(file_path(), std::move(desktop));
    ASSERT_EQ(settings.save_cfg_param({{"pass", "secret"}}), 0);
    EXPECT_TRUE(bytes_of(file_path()).contains("pass=secret"));
}
