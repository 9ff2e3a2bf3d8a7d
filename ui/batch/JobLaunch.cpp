// The batch window's launch buttons: their checks, their step flags and the job's start.
#include "ui/batch/fleetsetDlg.h"

#include "batch/AddressCheck.h"
#include "batch/LaunchPlan.h"
#include "foundation/debug_log.h"
#include "ui/batch/BatchForm.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/DeviceListModel.h"
#include "ui/batch/IpAddressField.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>


using namespace batch_ids;

namespace {

constexpr const char* kFile = "fleetsetDlg";
constexpr int kShellTextMax = 127;

// The one-step buttons: each clears the flags and sets its own.
struct SingleStep {
    int button;
    uint8_t JobSteps::*flag;
};
constexpr SingleStep kSingleSteps[] = {
    {TimeZoneSetButton, &JobSteps::change_time_zone},
    {TimeFormatSetButton, &JobSteps::change_time_format},
    {VideoStandardSetButton, &JobSteps::change_video_standard},
    {LanguageSetButton, &JobSteps::change_language},
    {DefaultPasswordSetButton, &JobSteps::change_password},
    {MaxChannelSetButton, &JobSteps::change_max_wifi_ch},
    {DefaultChannelSetButton, &JobSteps::change_deafult_ch},
    {UidSetButton, &JobSteps::change_UID},
    {SyncButton, &JobSteps::change_time_sync},
    {LogoUpgradeButton, &JobSteps::change_logo},
    {SendButton, &JobSteps::send_command},
    {FactoryResetButton, &JobSteps::restore_factory_settings},
    {ResetPasswordButton, &JobSteps::reset_pwd},
};

// The Start button's flags from the check boxes, in this order.
struct BoxFlag {
    uint8_t JobSteps::*flag;
    int box;
    const char* name;
};
constexpr BoxFlag kBoxFlags[] = {
    {&JobSteps::change_auto_ip, AutoIpCheck, "change_auto_ip"},
    {&JobSteps::change_video_standard, VideoStandardCheck, "change_video_standard"},
    {&JobSteps::change_time_zone, TimeZoneCheck, "change_time_zone"},
    {&JobSteps::change_time_format, TimeFormatCheck, "change_time_format"},
    {&JobSteps::change_time_sync, TimeSyncCheck, "change_time_sync"},
    {&JobSteps::change_dhcp, DhcpCheck, "change_dhcp"},
    {&JobSteps::change_ip, SetNetworkCheck, "change_ip"},
    {&JobSteps::change_logo, UpdateLogoCheck, "change_logo"},
    {&JobSteps::change_language, LanguageCheck, "change_language"},
    {&JobSteps::change_password, DefaultPasswordCheck, "change_password"},
    {&JobSteps::change_max_wifi_ch, MaxChannelCheck, "change_max_wifi_ch"},
    {&JobSteps::change_deafult_ch, DefaultChannelCheck, "change_deafult_ch"},
    {&JobSteps::change_UID, UidCheck, "change_UID"},
    {&JobSteps::send_command, SendCommandCheck, "send_command"},
    {&JobSteps::need_update, UpgradeFirmwareCheck, "need_update"},
};


} // namespace

void CfleetsetDlg::connect_launch_buttons() {
    for (int id : {UpgradeButton, StartButton, AutoIpSetButton, NetworkSetButton})
        connect(control_as<QPushButton>(id), &QPushButton::clicked, this, [this, id] { launch(id); });
    for (const SingleStep& step : kSingleSteps)
        connect(control_as<QPushButton>(step.button), &QPushButton::clicked, this,
                [this, id = step.button] { launch(id); });
}

void CfleetsetDlg::launch(int button_id) {
    if (button_id == TimeFormatSetButton) {
        DEBUG_LOCATION(kFile, "CfleetsetDlg::OnBnClickedBtnSet3");
        debug_log("CfleetsetDlg:: OnBnClickedBtnSet3  ----------------00000 ");
    }
    if (button_id != AutoIpSetButton && !check_user_name()) return;
    QString path;
    QString first;
    QString last;
    if (button_id == StartButton) {
        check_update_step();
        if (m_dostep.change_auto_ip && !check_range(false, first, last)) return;
        if (m_dostep.need_update && !check_firmware_path(path)) return;
    } else {
        m_dostep = JobSteps{};
        if (button_id == UpgradeButton) {
            m_dostep.need_update = 1;
            if (!check_firmware_path(path)) return;
        } else if (button_id == AutoIpSetButton) {
            m_dostep.change_auto_ip = 1;
            if (!check_range(true, first, last)) return;
        } else if (button_id == NetworkSetButton) {
            m_dostep.change_dhcp = control_as<QCheckBox>(DhcpCheck)->isChecked() ? 1 : 0;
            m_dostep.change_ip = control_as<QCheckBox>(SetNetworkCheck)->isChecked() ? 1 : 0;
        } else {
            for (const SingleStep& step : kSingleSteps)
                if (step.button == button_id) m_dostep.*step.flag = 1;
        }
    }
    if (!m_job.running()) choose_onvif_ports();
    if (!check_ticked_rows() || !check_onvif_upgrade(path) || !check_address_change() || !confirm_resets()) {
        save_cfg_param();
        return;
    }
    if (button_id == TimeFormatSetButton) {
        DEBUG_LOCATION(kFile, "CfleetsetDlg::OnBnClickedBtnSet3");
        debug_log("CfleetsetDlg:: OnBnClickedBtnSet3  ----------------11111 ");
    }
    const int result = start_upgrade(path, first, last);
    if (button_id == TimeFormatSetButton) {
        DEBUG_LOCATION(kFile, "CfleetsetDlg::OnBnClickedBtnSet3");
        debug_log("CfleetsetDlg:: OnBnClickedBtnSet3  ----------------22222 nRet=%d", result);
    }
    save_cfg_param();
}

bool CfleetsetDlg::check_user_name() {
    if (!control_as<QLineEdit>(UserNameEdit)->text().isEmpty()) return true;
    refuse("IDS_INPUT_USER_NAME", UserNameEdit);
    return false;
}

void CfleetsetDlg::check_update_step() {
    m_dostep = JobSteps{};
    const QByteArray command = control_as<QLineEdit>(CommandEdit)->text().toUtf8().left(kShellTextMax);
    const bool harmful = is_disruptive_command(command.toStdString());
    for (const BoxFlag& b : kBoxFlags) {
        if (control_as<QCheckBox>(b.box)->checkState() == Qt::Unchecked) continue;
        if (b.flag == &JobSteps::send_command && harmful) continue;
        m_dostep.*b.flag = 1;
        DEBUG_LOCATION(kFile, "CfleetsetDlg::check_update_step");
        debug_log("--- m_dostep.%s=%d ", b.name, 1);
    }
}

bool CfleetsetDlg::ip_in_list(const QString& text) const {
    const std::string wanted = text.toStdString();
    for (size_t row = 0; row < m_devices.size(); ++row)
        if (m_devices.cell(row, COL_IP) == wanted) return true;
    return false;
}

int CfleetsetDlg::count_checked() const { return static_cast<int>(m_devices.count_checked()); }

void CfleetsetDlg::refuse(const char* key, int focus_id) {
    m_refusal(this, lang(key), lang("IDS_ERROR"));
    if (focus_id >= 0) control(focus_id)->setFocus();
}

bool CfleetsetDlg::check_range(bool end_not_below_start, QString& first, QString& last) {
    auto* first_field = control_as<IpAddressField>(RangeFirstAddress);
    auto* last_field = control_as<IpAddressField>(RangeLastAddress);
    std::string from = first_field->address().toStdString();
    std::string to = last_field->address().toStdString();
    AddressRange range;
    const LaunchRefusal refusal = check_address_range(from, to, end_not_below_start, range);
    if (refusal == LaunchRefusal::RangeInvalid) {
        refuse(launch_refusal_key(refusal), RangeFirstAddress);
        return false;
    }
    // One good address makes a range of one, and the window shows it.
    first = QString::fromStdString(from);
    last = QString::fromStdString(to);
    if (first != first_field->address()) first_field->set_address(first);
    if (last != last_field->address()) last_field->set_address(last);
    if (refusal == LaunchRefusal::None) return true;
    refuse(launch_refusal_key(refusal), refusal == LaunchRefusal::RangeUnusable ? RangeFirstAddress : RangeLastAddress);
    return false;
}

bool CfleetsetDlg::check_firmware_path(QString& path) {
    path = control_as<QLineEdit>(FirmwarePathEdit)->text();
    // The version header is the job's to judge, device by device, as it always was.
    const LaunchRefusal refusal = ::check_firmware_path(path.toStdString(), false);
    if (refusal == LaunchRefusal::None) return true;
    refuse(launch_refusal_key(refusal), FirmwareBrowseButton);
    return false;
}

bool CfleetsetDlg::check_ticked_rows() {
    if (count_checked() > 0) return true;
    refuse(launch_refusal_key(LaunchRefusal::NoDeviceTicked), DeviceList);
    return false;
}

bool CfleetsetDlg::check_address_change() {
    AddressRefusal refusal = AddressRefusal::None;
    int focus = -1;
    if (m_dostep.change_ip && !m_dostep.change_auto_ip) {
        FixedAddressChange change;
        change.ip = control_as<IpAddressField>(IpAddressEdit)->address().toStdString();
        // The window always sends all three: a blank field is an unusable one.
        change.mask = control_as<IpAddressField>(SubmaskEdit)->address().toStdString();
        change.gateway = control_as<IpAddressField>(GatewayEdit)->address().toStdString();
        if (change.mask.empty()) change.mask = "0.0.0.0";
        if (change.gateway.empty()) change.gateway = "0.0.0.0";
        std::vector<std::string> others;
        for (size_t row = 0; row < m_devices.size(); ++row)
            if (!m_devices.checked(row)) others.push_back(m_devices.cell(row, COL_IP));
        refusal = check_fixed_address(change, static_cast<size_t>(count_checked()), others);
        focus = refusal == AddressRefusal::UnusableMask                                                 ? SubmaskEdit
                : refusal == AddressRefusal::UnusableGateway || refusal == AddressRefusal::GatewayOutsideSubnet ? GatewayEdit
                : refusal == AddressRefusal::OneAddressForMany                                          ? DeviceList
                                                                                                        : IpAddressEdit;
    }
    if (refusal == AddressRefusal::None) return true;
    refuse(address_refusal_key(refusal), focus);
    return false;
}

bool CfleetsetDlg::confirm_resets() {
    const char* key = m_dostep.restore_factory_settings ? "IDS_CONFIRM_FACTORY_RESET"
                      : m_dostep.reset_pwd              ? "IDS_CONFIRM_PASSWORD_RESET"
                                                        : nullptr;
    if (!key) return true;
    return m_confirm(this, lang(key).arg(count_checked()), lang("IDS_WARNING"));
}

int CfleetsetDlg::start_upgrade(const QString& path, const QString& first, const QString& last) {
    const int ticked = count_checked();
    if (ticked == 0) return 0;
    clear_job();
    const int rows = static_cast<int>(m_devices.size());
    int limit = std::min(rows, BatchJob::kMaxWorkers);

    std::vector<std::string> pool;
    if (m_dostep.change_auto_ip) {
        std::string from = first.toStdString();
        std::string to = last.toStdString();
        AddressRange range;
        check_address_range(from, to, false, range);
        // An address some listed device already has is never handed out.
        pool = free_addresses(range, [this](const std::string& address) { return ip_in_list(QString::fromStdString(address)); });
        if (pool.empty()) {
            refuse(launch_refusal_key(LaunchRefusal::NoFreeAddress), -1);
            return 0;
        }
        limit = std::min({static_cast<int>(pool.size()), BatchJob::kMaxWorkers, ticked});
    }

    JobLaunch launch;
    launch.steps = m_dostep;
    launch.upgrade_file = path.toStdString();
    launch.user = control_as<QLineEdit>(UserNameEdit)->text().toStdString();
    launch.password = control_as<QLineEdit>(PasswordEdit)->text().toStdString();
    launch.local_address = m_form->netcard_combo->currentText().toStdString();
    DEBUG_LOCATION(kFile, "CfleetsetDlg::start_upgrade");
    debug_log("CfleetsetDlg::start_upgrade  ---------------- total_cnt=%d ", rows);
    bool unticked = false;
    for (int r = 0; r < rows && static_cast<int>(launch.devices.size()) < limit; ++r) {
        if (!m_devices.checked(static_cast<size_t>(r))) continue;
        if (m_devices.cell(static_cast<size_t>(r), COL_VERSION).empty()) {
            m_devices.set_checked(static_cast<size_t>(r), false);
            unticked = true;
            continue;
        }
        const size_t index = launch.devices.size();
        DEBUG_LOCATION(kFile, "CfleetsetDlg::start_upgrade");
        debug_log("CfleetsetDlg::start_upgrade  ---------------- Start ch=%d thrd_index=%d", r, static_cast<int>(index));
        launch.devices.push_back({r, index < pool.size() ? pool[index] : std::string()});
    }
    if (unticked) m_list_model->checks_changed();
    if (launch.devices.empty()) return 0;
    m_launched_rows.clear();
    for (const auto& device : launch.devices) m_launched_rows.push_back(device.row);
    m_job_rows = std::set<int>(m_launched_rows.begin(), m_launched_rows.end());
    m_reports.open();
    m_job_phase = JobPhase::Launched;
    m_after_stop = false;
    if (m_job.start_job(launch) == 0) {
        m_reports.close();
        m_job_phase = JobPhase::Idle;
        return 0;
    }
    // The inputs go at once, not when the job's start report comes round.
    enable_controls();
    control(StopButton)->setFocus();
    return 0;
}
