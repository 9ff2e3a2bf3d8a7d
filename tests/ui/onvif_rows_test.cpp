// ONVIF cameras in the batch window's list beside our own: one row per camera, who found it,
// what stands in for a version not read, and the login they are read with.
#include "UiTest.h"
#include "batch/ListExport.h"
#include "support/DeviceRecord.h"
#include "sim/SimFleet.h"
#include "support/FakeSecrets.h"
#include "support/TempFile.h"
#include "batch/StatusMarks.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/DeviceListModel.h"
#include "ui/batch/OnvifLoginDialog.h"

#include <QFile>
#include <QLineEdit>

using namespace ui_test;

namespace {

const std::string kEnglish = FLEETSET_UI_TEST_DIR "/../../app/lang/lumora_en.ini";

onvif::OnvifCamera onvif_camera(const std::string& uuid, const std::string& ip, const std::string& mac,
                                onvif::Reading reading = onvif::Reading::no_credentials) {
    onvif::OnvifCamera camera;
    camera.uuid = "urn:uuid:" + uuid;
    camera.xaddrs = {"http://" + ip + "/onvif/device_service"};
    camera.source_address = ip;
    camera.mac = mac;
    camera.reading = reading;
    if (reading == onvif::Reading::ok) camera.information = {"Acme", "IPC-9", "5.1.0", "", ""};
    return camera;
}

class OnvifRows : public BatchWindowTest {
protected:
    void SetUp() override {
        BatchWindowTest::SetUp();
        window->m_lang_ini = kEnglish;
        window->set_settings_store(std::make_unique<SettingsStore>(
            settings_path(), std::make_unique<support::FakeSecrets>(true, keychain)));
    }
    QString shown(int row, int column) { return window->list_model()->index(row, column).data().toString(); }
    int rows() { return window->list_model()->rowCount(); }
    void own(const std::string& mac, const std::string& ip) { window->update_dev_find_list(make_device_record(mac, ip), 1); }

    std::map<QString, QString> keychain;
};

TEST_F(OnvifRows, MixedFleetListsEachCameraOnceWithWhoFoundIt) {
    open();  // the texts of the language file; the lab has no camera to add rows
    own("00:1A:2B:00:00:01", "10.77.1.1");
    own("00:1A:2B:00:00:02", "10.77.1.2");
    const std::vector<onvif::OnvifCamera> heard = {
        onvif_camera("same-mac", "10.77.9.9", "00:1A:2B:00:00:01"),     // our camera, moved address
        onvif_camera("same-address", "10.77.1.2", ""),                  // ours, MAC not told
        onvif_camera("not-read", "10.77.1.3", ""),
        onvif_camera("refused", "10.77.1.4", "", onvif::Reading::refused),
        onvif_camera("read", "10.77.1.5", "00:1A:2B:00:00:05", onvif::Reading::ok),
    };
    window->show_onvif_cameras(heard);
    window->show_onvif_cameras(heard);  // heard again: nothing listed twice

    const std::vector<QStringList> expected = {  // MAC, IP, version, protocol, model
        {"00:1A:2B:00:00:01", "10.77.1.1", "2.4.1", "both", ""},
        {"00:1A:2B:00:00:02", "10.77.1.2", "2.4.1", "both", ""},
        {"", "10.77.1.3", "(log in)", "ONVIF", ""},
        {"", "10.77.1.4", "(login refused)", "ONVIF", ""},
        {"00:1A:2B:00:00:05", "10.77.1.5", "5.1.0", "ONVIF", "Acme IPC-9"},
    };
    ASSERT_EQ(rows(), static_cast<int>(expected.size()));
    for (int r = 0; r < rows(); ++r) {
        const QStringList cells{shown(r, COL_MAC), shown(r, COL_IP), shown(r, COL_VERSION), shown(r, COL_PROTOCOL),
                                shown(r, COL_MODEL)};
        EXPECT_EQ(cells, expected[static_cast<size_t>(r)]) << r;
    }
    EXPECT_EQ(window->list_model()->headerData(COL_PROTOCOL, Qt::Horizontal, Qt::DisplayRole).toString(), "Protocol");

    // The export keeps the job's 13 columns first; only a list with ONVIF cameras adds more.
    const auto first_line = [](const std::vector<DeviceRow>& listed) {
        const std::string csv = export_device_list(listed, {}, ListExportFormat::Csv);
        return std::count(csv.begin(), csv.begin() + static_cast<long>(csv.find('\r')), ',');
    };
    const std::vector<DeviceRow> listed = window->devices().rows();
    EXPECT_EQ(first_line(listed), kListColumns);
    DeviceRow ours = listed[0];
    ours.protocol = CameraProtocol::own;
    EXPECT_EQ(first_line({ours}), kDeviceColumns) << "a list of our cameras only exports as before";
}

// ONVIF cameras are ticked like ours, until our discovery finds one too and its row becomes
// both. An upgrade of one needs the version it must come back on when the file has no header
// of ours; a step it cannot do reads as not done, and its message says why.
TEST_F(OnvifRows, OnvifCamerasAreTickedAndWorkedOnByTheirOwnRules) {
    open();
    std::vector<QString> refusals;
    window->set_refusal([&](QWidget*, const QString& text, const QString&) { refusals.push_back(text); });
    own("00:1A:2B:00:00:01", "10.77.1.1");
    window->show_onvif_cameras({onvif_camera("later-ours", "10.77.1.7", "")});
    ASSERT_EQ(rows(), 2);
    auto* model = window->list_model();
    EXPECT_TRUE(model->setData(model->index(1, COL_INDEX), Qt::Checked, Qt::CheckStateRole));
    window->select_all();
    EXPECT_EQ(window->count_checked(), 2);

    support::TempDir files;
    window->control_as<QLineEdit>(batch_ids::FirmwarePathEdit)
        ->setText(QString::fromStdString(files.write("vendor.update", "another maker's image")));
    window->launch(batch_ids::UpgradeButton);
    ASSERT_EQ(refusals.size(), 1u);
    EXPECT_TRUE(refusals[0].startsWith("This firmware file has no version header of ours")) << refusals[0].toStdString();
    EXPECT_FALSE(window->job_running());

    apply_status(window->devices(), 1, ST_LOGO_UNSUPPORTED, [](std::string_view key) {
        return key == "IDS_ONVIF_UNSUPPORTED" ? std::string("why") : std::string();
    });
    EXPECT_EQ(shown(1, COL_MARK_LOGO) + " " + shown(1, COL_MESSAGE), QString::fromUtf8(kMarkSkipped) + " why");
    EXPECT_EQ(model->index(1, COL_MARK_LOGO).data(Qt::ToolTipRole).toString(), "Not supported by this camera (ONVIF)")
        << "the mark keeps why when a later step writes the message";

    own("00:1A:2B:00:00:07", "10.77.1.7");
    ASSERT_EQ(rows(), 2) << "our discovery takes the ONVIF row over";
    EXPECT_EQ(shown(1, COL_PROTOCOL), "both");
    EXPECT_EQ(shown(1, COL_MAC), "00:1A:2B:00:00:07");
}

TEST_F(OnvifRows, LoginIsKeptWithItsPasswordInTheSecretStore) {
    window->ask_onvif_login();
    auto* dialog = window->findChild<OnvifLoginDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->user(), "Admin") << "the factory account until another is kept";
    dialog->user_edit()->setText("operator");
    dialog->password_edit()->setText("s3cret-onvif");
    dialog->accept();
    settle();
    EXPECT_EQ(keychain[QStringLiteral("onvif_pass")], "s3cret-onvif");

    window->save_cfg_param();  // the window's other inputs, saved at a launch, keep the login
    QFile file(settings_path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("onvif_user=operator")) << text.constData();
    EXPECT_FALSE(text.contains("s3cret-onvif")) << "a password never goes into the file";

    settle();  // the first dialog is gone (deleted on close)
    window->ask_onvif_login();
    auto* again = window->findChild<OnvifLoginDialog*>();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->user(), "operator");
    EXPECT_EQ(again->password(), "s3cret-onvif");
}

// Through the lab: the search thread finds a simulated ONVIF-only camera, and the login given
// afterwards reads it.
TEST_F(OnvifRows, CameraFoundInTheLabIsReadOnceLoggedIn) {
    FleetConfig config;
    CameraConfig& camera = config.cameras.emplace_back();
    camera.mac_address = "00:1A:2B:00:00:01";
    camera.ip_address = "10.77.1.1";
    camera.device.onvif.protocols = CameraProtocols::Onvif;
    SimFleet fleet(config);
    ASSERT_TRUE(fleet.start());
    open();
    ASSERT_TRUE(wait_for([&] { return rows() == 1 && shown(0, COL_VERSION) == "(log in)"; }))
        << rows() << " rows";
    EXPECT_EQ(shown(0, COL_PROTOCOL), "ONVIF");
    window->set_onvif_login("Admin", "");
    EXPECT_TRUE(wait_for([&] { return shown(0, COL_VERSION) == QString::fromStdString(config.cameras[0].software_ver); }))
        << shown(0, COL_VERSION).toStdString();
    EXPECT_EQ(rows(), 1);
    window.reset();  // closes while the search runs
    fleet.stop();
}

} // namespace
