// The batch window's side of a job's reports: progress, marks and messages, the enabled
// state of the inputs, stop and the end of a job.
#include "ui/batch/fleetsetDlg.h"

#include "batch/StatusMarks.h"
#include "batch/WindowJobHistory.h"
#include "foundation/LangTable.h"
#include "ui/batch/BatchForm.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/DeviceListModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTableView>

#include <algorithm>
#include <set>

using namespace batch_ids;

namespace {

// Disabled while a job runs, enabled when it is over (with the rules of enable_controls).
constexpr int kJobInputs[] = {
    DeviceList, UserNameEdit, PasswordEdit, DefaultPasswordEdit, UidEdit, CommandEdit,
    RefreshButton, UpgradeButton, FirmwareBrowseButton, SelectAllButton, InvertButton, LogoBrowseButton,
    AutoIpSetButton, TimeZoneSetButton, TimeFormatSetButton, SyncButton, LogoUpgradeButton, LanguageSetButton,
    DefaultPasswordSetButton, VideoStandardSetButton, UidSetButton, MaxChannelSetButton, StartButton,
    DefaultChannelSetButton, NetworkSetButton, SendButton, FactoryResetButton, ResetPasswordButton,
    TimeZoneCheck, VideoStandardCheck, AutoIpCheck, TimeFormatCheck, TimeSyncCheck, UpdateLogoCheck, LanguageCheck,
    DefaultPasswordCheck, DhcpCheck, MaxChannelCheck, DefaultChannelCheck, SetNetworkCheck, SendCommandCheck,
    UidCheck, UpgradeFirmwareCheck,
    DeviceTypeCombo, NetworkCardCombo, TimeZoneCombo, TimeFormatCombo, LanguageCombo, VideoStandardCombo,
    MaxChannelCombo, DefaultChannelCombo,
    RangeFirstAddress, RangeLastAddress, IpAddressEdit, SubmaskEdit, GatewayEdit, Dns1Edit, Dns2Edit,
    IpAddressLabel, SubmaskLabel, GatewayLabel, Dns1Label, Dns2Label,
};

} // namespace

int CfleetsetDlg::OnJobReport(ReportKind kind, uint32_t payload) {
    switch (kind) {
    case REPORT_PROGRESS:
        // A report still on its way when the job was stopped changes nothing. The bar
        // repaints at once when set, so a batch of reports sets it once, at its end.
        if (m_job_phase == JobPhase::Idle) break;
        if (m_in_batch)
            m_batch_progress = static_cast<int>(payload);
        else
            m_form->progress->setValue(static_cast<int>(payload));
        break;
    case REPORT_JOB_STATE:
        if (m_job_phase == JobPhase::Launched) {
            m_job_phase = JobPhase::Running;
            enable_controls();
        } else if (m_job_phase == JobPhase::Running) {
            // The end of a job that ran to its last device.
            m_job_phase = JobPhase::Idle;
            enable_controls();
            append_window_job(window_history_job(m_devices.rows(), m_launched_rows));
            show_job_end();
        }
        break;
    case REPORT_DONE_COUNT:
        if (m_job_phase != JobPhase::Idle)
            control_as<QLabel>(DoneCounterLabel)
                ->setText(QStringLiteral("%1/%2").arg(report_high(payload)).arg(report_low(payload)));
        break;
    case REPORT_STATUS:
        // After a stop the rows stay as the stop left them.
        if (!m_after_stop) show_status(static_cast<int>(report_high(payload)), report_low(payload));
        break;
    case REPORT_DEVICE_DONE:
        // The engine counts these on the worker that reports them; the window only needs to
        // know which rows a stop leaves unfinished.
        if (m_job_phase != JobPhase::Idle) m_job_rows.erase(static_cast<int>(payload));
        break;
    case REPORT_CHANGE_IP_DONE:
        break;
    }
    return 0;
}

void CfleetsetDlg::show_status(int row, uint32_t code) {
    const auto text = [this](std::string_view key) {
        auto [it, fresh] = m_message_texts.try_emplace(std::string(key));
        if (fresh) it->second = get_lang_string(m_lang_ini, key);
        return it->second;
    };
    if (!apply_status(m_devices, static_cast<size_t>(row), code, text)) return;
    if (!m_in_batch) {
        m_list_model->rows_written(row, row);
        return;
    }
    m_batch_first = m_batch_first < 0 ? row : std::min(m_batch_first, row);
    m_batch_last = std::max(m_batch_last, row);
}

void CfleetsetDlg::enable_controls() {
    const bool running = job_running();
    for (int id : kJobInputs) control(id)->setEnabled(!running);
    control(StopButton)->setEnabled(running);
    if (!running) {
        const bool logo = m_form->devtype_combo->currentIndex() != 1;
        for (int id : {UpdateLogoCheck, LogoBrowseButton, LogoUpgradeButton}) control(id)->setEnabled(logo);
        const bool fixed = control_as<QCheckBox>(SetNetworkCheck)->isChecked();
        for (int id : BatchForm::kNetworkFields) control(id)->setEnabled(fixed);
        control(NetworkSetButton)->setEnabled(fixed);
        if (fixed) control(DhcpCheck)->setEnabled(false);
        if (control_as<QCheckBox>(DhcpCheck)->isChecked()) {
            control(SetNetworkCheck)->setEnabled(false);
            control(NetworkSetButton)->setEnabled(true);
        }
    }
    control_as<QLabel>(DoneCounterLabel)->clear();
    m_form->progress->setValue(0);
}

void CfleetsetDlg::show_job_end() {
    int succeeded = 0;
    int failed = 0;
    for (const int row : m_launched_rows) {
        if (row < 0 || static_cast<size_t>(row) >= m_devices.size()) continue;
        // Done means every step column says done, not requested or not possible on this
        // camera; a blank one never ran.
        bool ok = true;
        for (int column = COL_MARK_IP; column < COL_MARK_IP + kMarkColumns; ++column) {
            const std::string mark = m_devices.cell(static_cast<size_t>(row), column);
            ok = ok && (mark == kMarkDone || mark == kMarkSkipped || mark == kMarkUnsupported);
        }
        ++(ok ? succeeded : failed);
    }
    QString text = lang("IDS_ALL_FINISH");
    const QString counts = lang("IDS_JOB_COUNTS");
    if (counts.contains(QLatin1String("%2"))) text += QLatin1Char('\n') + counts.arg(succeeded).arg(failed);
    m_notice(this, text, lang(failed ? "IDS_WARNING" : "IDS_PROMPT"),
             failed ? QMessageBox::Warning : QMessageBox::Information);
}

void CfleetsetDlg::stop() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const size_t rows = m_devices.size();
    const std::set<int> unfinished = m_job_rows;
    clear_job();
    for (size_t row = 0; row < rows; ++row) m_devices.set_cell(row, COL_MARK_UPGRADE, " ");
    // A row the stop cut short says so, rather than what it was waiting for.
    const std::string stopped = lang("IDS_JOB_STOPPED").toStdString();
    for (const int row : unfinished)
        if (row >= 0 && static_cast<size_t>(row) < rows) m_devices.set_cell(static_cast<size_t>(row), COL_MESSAGE, stopped);
    m_list_model->rows_written(0, static_cast<int>(rows) - 1);
    QApplication::restoreOverrideCursor();
}

void CfleetsetDlg::clear_job() {
    // Release every worker waiting in a send before waiting for the workers.
    m_reports.close();
    m_job.stop();
    m_job_phase = JobPhase::Idle;
    m_after_stop = true;
    enable_controls();
}
