// The batch window's second source: the ONVIF cameras merged into the device list, and the
// login they are read with.
#include "ui/batch/fleetsetDlg.h"

#include "batch/CameraList.h"
#include "foundation/LangTable.h"
#include "ui/batch/DeviceListModel.h"
#include "ui/batch/OnvifLoginDialog.h"
#include "ui/batch/SettingsStore.h"


namespace {

onvif::CameraLogin camera_login(const QString& user, const QString& password) {
    // Without a user name there is nothing to log in with: the rows ask for a login.
    return {!user.isEmpty(), user.toStdString(), password.toStdString()};
}

} // namespace

void CfleetsetDlg::start_onvif_search() {
    if (!m_onvif_login_loaded) {
        m_onvif_login_loaded = true;
        QString user;
        QString password;
        settings().load_onvif_login(user, password);
        m_onvif.log_in(camera_login(user, password));
    }
    m_onvif.start();
}

std::string CfleetsetDlg::unread_text(onvif::Reading reading) const {
    const char* key = nullptr;
    switch (reading) {
    case onvif::Reading::ok: return {};
    case onvif::Reading::no_credentials: key = "IDS_ONVIF_LOG_IN"; break;
    case onvif::Reading::refused: key = "IDS_ONVIF_REFUSED"; break;
    case onvif::Reading::unreachable: key = "IDS_ONVIF_NO_ANSWER"; break;
    case onvif::Reading::not_tried:
    case onvif::Reading::failed: key = "IDS_ONVIF_NOT_READ"; break;
    }
    const std::string text = get_lang_string(m_lang_ini, key);
    return text.empty() ? missing_version_text(reading) : text;
}

void CfleetsetDlg::show_onvif_cameras(const std::vector<onvif::OnvifCamera>& cameras) {
    const auto [first, last] =
        m_devices.update_onvif_rows(cameras, [this](onvif::Reading reading) { return unread_text(reading); });
    m_list_model->rows_written(first, last);
}

void CfleetsetDlg::ask_onvif_login() {
    QString user;
    QString password;
    settings().load_onvif_login(user, password);
    // Cameras leave the factory with this account, and fleetset-cli logs in with it by default.
    if (user.isEmpty()) user = QStringLiteral("Admin");
    QString expected;
    bool prefer = false;
    settings().load_onvif_job(expected, prefer);
    auto* dialog = new OnvifLoginDialog(this, [this](const char* key) { return lang(key); }, user, password, expected, prefer);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        set_onvif_login(dialog->user(), dialog->password());
        set_onvif_job(dialog->expected_version(), dialog->prefer_onvif());
    });
    dialog->open();
}

void CfleetsetDlg::set_onvif_login(const QString& user, const QString& password) {
    settings().save_onvif_login(user, password);
    m_onvif_login_loaded = true;
    m_onvif.log_in(camera_login(user, password));
}

void CfleetsetDlg::set_onvif_job(const QString& expected_version, bool prefer_onvif) {
    settings().save_onvif_job(expected_version, prefer_onvif);
}

// Before a launch, when no worker runs: what the ONVIF cameras' workers are given.
void CfleetsetDlg::choose_onvif_ports() {
    QString user;
    QString password;
    settings().load_onvif_login(user, password);
    QString expected;
    bool prefer = false;
    settings().load_onvif_job(expected, prefer);
    m_port_choice.protocol = prefer ? JobProtocol::onvif : JobProtocol::automatic;
    m_port_choice.expected_version = expected.toStdString();
    m_port_choice.onvif_login = !user.isEmpty();
    m_port_choice.onvif_user = user.toStdString();
    m_port_choice.onvif_password = password.toStdString();
    m_port_choice.listener = std::make_shared<HelloListener>(m_port_choice.prober);
}

// An upgrade of an ONVIF camera is done only when the version it reports after its reboot is
// the one expected: the file's header says which, else the ONVIF dialog's field.
bool CfleetsetDlg::check_onvif_upgrade(const QString& path) {
    if (!m_dostep.need_update || !BatchJob::own_header_version(path.toStdString()).empty() ||
        !m_port_choice.expected_version.empty())
        return true;
    for (size_t row = 0; row < m_devices.size(); ++row) {
        if (!m_devices.checked(row)) continue;
        if (!over_onvif(m_devices.row(row).value_or(DeviceRow{}), m_port_choice.protocol)) continue;
        m_refusal(this, lang("IDS_ONVIF_NO_EXPECTED_VERSION"), lang("IDS_ERROR"));
        return false;
    }
    return true;
}
