#include "ui/batch/fleetsetDlg.h"

#include "ui/shared/AboutDlg.h"
#include "ui/shared/ProgramIcon.h"
#include "batch/ListExport.h"
#include "foundation/AtomicFile.h"
#include "devsdk/ovix_client.h"
#include "discovery/LocalAddresses.h"
#include "foundation/LangTable.h"
#include "foundation/debug_log.h"
#include "ui/batch/BatchForm.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/DeviceListModel.h"
#include "ui/batch/IpAddressField.h"
#include "ui/batch/SettingsStore.h"

#include <QAction>
#include <QCheckBox>
#include <QToolButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTableView>

#include <algorithm>
#include <vector>

using namespace batch_ids;

namespace {

constexpr const char* kFile = "fleetsetDlg";
// One sweep when the window opens; later sweeps come from refresh_list only.
constexpr int32_t kDiscoveryInterval = 2147483647;

bool ask_ok_cancel(QWidget* parent, const QString& text, const QString& caption) {
    return QMessageBox::warning(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

QString open_file_dialog(QWidget* parent, const QString& filter, const QString& default_suffix) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(default_suffix);
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

QString save_file_dialog(QWidget* parent, const QString& filter, const QString& default_suffix) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(default_suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

void show_refusal(QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox::warning(parent, caption, text);
}

// A notice that needs no answer opens without a modal loop of its own, so that reports
// never re-enter under it.
void open_notice(QWidget* parent, const QString& text, const QString& caption, QMessageBox::Icon icon) {
    auto* box = new QMessageBox(icon, caption, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

const char* const CfleetsetDlg::kAboutEntryText = "关于 fleetset(&A)...";

CfleetsetDlg::CfleetsetDlg(QWidget* parent, DiscoveryConfig discovery_config, OnvifSearchConfig onvif_config)
    : QDialog(parent),
      m_reports([this](ReportChannel::Task task) { queue_report(std::move(task)); },
                [this](ReportKind kind, uint32_t payload) { OnJobReport(kind, payload); }),
      m_inbox([this] { QMetaObject::invokeMethod(this, [this] { drain_discovery_inbox(); }, Qt::QueuedConnection); }),
      m_discovery(std::move(discovery_config)),
      m_onvif([this](std::vector<onvif::OnvifCamera> cameras) {
                  QMetaObject::invokeMethod(this, [this, found = std::move(cameras)] { show_onvif_cameras(found); },
                                            Qt::QueuedConnection);
              },
              std::move(onvif_config)),
      m_confirm(ask_ok_cancel),
      m_refusal(show_refusal),
      m_notice(open_notice),
      m_choose_file(open_file_dialog),
      m_choose_save_file(save_file_dialog) {
    setWindowIcon(program_icon());
    setWindowTitle(QStringLiteral("fleetset"));
    setSizeGripEnabled(true);
    m_list_model = new DeviceListModel(m_devices, this);
    m_form = std::make_unique<BatchForm>(this, m_list_model);
    connect_controls();
    connect_launch_buttons();
    track_inputs();
    if (Network_ClientInit() == OVIX_OK) {
        m_sdk_ready = true;
    } else {
        DEBUG_LOCATION(kFile, "CfleetsetDlg::CfleetsetDlg");
        debug_log("Network_ClientInit failed\n");
    }
}

CfleetsetDlg::~CfleetsetDlg() {
    // No report may reach a window that is going away. The job goes first: its workers use
    // discovery until they end (a job goes on after Escape).
    clear_job();
    join_refresh();
    stop_discovery();
    if (m_firewall_thread.joinable()) m_firewall_thread.join();
    m_form->devlist->setModel(nullptr);
    delete m_list_model;
    m_list_model = nullptr;
    if (m_sdk_ready) Network_ClientUnInit();
}

QWidget* CfleetsetDlg::control(int id) const { return m_form->control(id); }

QString CfleetsetDlg::lang(const char* key) const {
    return QString::fromStdString(get_lang_string(m_lang_ini, key));
}

void CfleetsetDlg::connect_controls() {
    connect(control_as<QPushButton>(RefreshButton), &QPushButton::clicked, this, [this] { refresh_list(); });
    connect(control_as<QPushButton>(SelectAllButton), &QPushButton::clicked, this, [this] { select_all(); });
    connect(control_as<QPushButton>(InvertButton), &QPushButton::clicked, this, [this] { select_invert(); });
    connect(m_form->devtype_combo, &QComboBox::currentIndexChanged, this,
            [this](int index) { on_device_type_changed(index); });
    connect(control_as<QCheckBox>(SetNetworkCheck), &QCheckBox::clicked, this,
            [this](bool checked) { on_set_network_clicked(checked); });
    connect(control_as<QCheckBox>(DhcpCheck), &QCheckBox::clicked, this, [this](bool checked) { on_dhcp_clicked(checked); });
    connect(control_as<QPushButton>(FirmwareBrowseButton), &QPushButton::clicked, this,
            [this] { browse_into(FirmwarePathEdit, QStringLiteral("update files(*.update)"), QStringLiteral("update")); });
    connect(control_as<QPushButton>(LogoBrowseButton), &QPushButton::clicked, this,
            [this] { browse_into(LogoPathEdit, QStringLiteral("update files(*.jpg)"), QStringLiteral("logo")); });
    connect(m_form->about_action, &QAction::triggered, this, [this] { show_about(); });
    connect(m_form->export_action, &QAction::triggered, this, [this] { export_list(); });
    connect(m_form->all_steps_action, &QAction::toggled, this, [this](bool on) {
        m_form->show_all_steps(on);
        settings().save_all_steps(on);
        fit_screen();
    });
    connect(control_as<QPushButton>(StopButton), &QPushButton::clicked, this, [this] { stop(); });
    m_form->devlist->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_form->devlist, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(lang("IDS_EXPORT"), this, [this] { export_list(); });
        menu.addAction(lang("IDS_ONVIF_LOGIN_ENTRY"), this, [this] { ask_onvif_login(); });
        menu.exec(m_form->devlist->viewport()->mapToGlobal(at));
    });
}

void CfleetsetDlg::export_list() {
    const QString path = m_choose_save_file(this, QStringLiteral("CSV (*.csv);;JSON (*.json)"), QStringLiteral("csv"));
    if (path.isEmpty()) return;
    std::vector<std::string> headers;
    for (int c = 0; c < kListColumns; ++c)
        headers.push_back(m_list_model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString().toStdString());
    const auto format = path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive) ? ListExportFormat::Json
                                                                                      : ListExportFormat::Csv;
    std::string error;
    if (!write_file_atomically(path.toStdString(), export_device_list(m_devices.rows(), headers, format), &error)) {
        DEBUG_LOCATION(kFile, "CfleetsetDlg::export_list");
        debug_log("%s\n", error.c_str());
        m_refusal(this, lang("IDS_EXPORT_FAILED") + QLatin1Char('\n') + QString::fromStdString(error), lang("IDS_ERROR"));
    }
}

void CfleetsetDlg::track_inputs() {
    for (auto& [id, widget] : m_form->controls()) {
        const int control_id = id;
        if (auto* address = qobject_cast<IpAddressField*>(widget)) {
            connect(address, &QLineEdit::textChanged, this,
                    [this, control_id, address] { m_inputs.set_text(control_id, address->address().toStdString()); });
            m_inputs.set_text(control_id, address->address().toStdString());
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            connect(edit, &QLineEdit::textChanged, this,
                    [this, control_id](const QString& text) { m_inputs.set_text(control_id, text.toStdString()); });
        } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
            connect(check, &QCheckBox::toggled, this,
                    [this, control_id](bool checked) { m_inputs.set_checked(control_id, checked); });
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            connect(combo, &QComboBox::currentTextChanged, this,
                    [this, control_id](const QString& text) { m_inputs.set_text(control_id, text.toStdString()); });
            connect(combo, &QComboBox::currentIndexChanged, this,
                    [this, control_id](int index) { m_inputs.set_index(control_id, index); });
        }
    }
}

void CfleetsetDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous() && !m_open) {
        on_init_dialog();
        // After the show has placed the window; a resize inside the show event is overridden.
        QMetaObject::invokeMethod(this, [this] { fit_screen(); }, Qt::QueuedConnection);
    }
}

void CfleetsetDlg::fit_screen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // Within the screen's work area, but never below the size at which every field shows a
    // whole address (the layout's minimum).
    const QRect room = screen->availableGeometry();
    const QSize least = minimumSizeHint();
    const QSize size(std::max(least.width(), std::min(width(), room.width())),
                     std::max(least.height(), std::min(height(), room.height())));
    setMinimumSize(least);
    resize(size);
    if (!room.contains(geometry())) move(room.topLeft());
}

void CfleetsetDlg::on_init_dialog() {
    m_open = true;
    if (m_lang_ini.empty()) m_lang_ini = find_lang_ini(program_directory(), user_language_id());
    setWindowTitle(lang("IDS_FLEETSET"));
    m_message_texts.clear();
    const auto text = [this](const char* key) { return lang(key); };
    m_form->apply_texts(text);
    m_list_model->set_message_header(lang("IDS_PROMPT"));
    const QString menu = lang("IDS_MENU");
    m_form->menu_button->setText(menu.isEmpty() ? QStringLiteral("...") : menu);
    m_form->all_steps_action->setText(lang("IDS_ALL_JOB_STEPS"));
    m_form->export_action->setText(lang("IDS_EXPORT"));
    const QString about_entry = lang("IDS_ABOUT_ENTRY");
    m_form->about_action->setText(about_entry.isEmpty() ? QString::fromUtf8(kAboutEntryText) : about_entry);
    QStringList steps;
    for (const char* key : {"IDS_COL_ADDRESS", "IDS_COL_UPGRADE", "IDS_COL_LOGO", "IDS_COL_COMMAND", "IDS_COL_CLOCK",
                            "IDS_COL_SETTINGS"})
        steps << lang(key);
    m_list_model->set_step_headers(steps, lang("IDS_MARKS_TIP"));
    m_list_model->set_unsupported_tip(lang("IDS_ONVIF_UNSUPPORTED"));
    m_list_model->set_camera_texts(lang("IDS_COL_PROTOCOL"), lang("IDS_COL_MODEL"),
                                   {lang("IDS_PROTOCOL_OWN"), lang("IDS_PROTOCOL_ONVIF"), lang("IDS_PROTOCOL_BOTH")});
    if (job_running()) {
        // Reopened after Escape while the job went on: its workers still read these inputs,
        // so they stay as they were.
        enable_controls();
        start_discovery();
        return;
    }
    m_form->fill_combo_boxes(text);
    m_dev_type = m_form->devtype_combo->currentIndex();
    for (QComboBox* combo : {m_form->devtype_combo, m_form->videostd_combo, m_form->timezone_combo,
                             m_form->timefmt_combo, m_form->language_combo, m_form->maxch_combo,
                             m_form->defaultch_combo}) {
        const int id = combo->objectName().toInt();
        m_inputs.set_index(id, combo->currentIndex());
        m_inputs.set_text(id, combo->currentText().toStdString());
    }
    get_more_ip();
    m_form->apply_start_states();
    load_cfg_param();
    m_form->show_all_steps(settings().load_all_steps());
    start_discovery();
    check_firewall();
}



void CfleetsetDlg::get_more_ip() {
    const QSignalBlocker quiet(m_form->netcard_combo);
    m_form->netcard_combo->clear();
    std::vector<std::string> addresses;
    if (query_local_ipv4_addresses(addresses)) {
        for (const std::string& address : addresses) {
            DEBUG_LOCATION(kFile, "CfleetsetDlg::get_more_ip");
            debug_log("ip = %s\n", address.c_str());
            m_form->netcard_combo->addItem(QString::fromStdString(address));
        }
    }
    m_form->netcard_combo->setCurrentIndex(m_form->netcard_combo->count() > 0 ? 0 : -1);
    m_inputs.set_index(NetworkCardCombo, m_form->netcard_combo->currentIndex());
    m_inputs.set_text(NetworkCardCombo, m_form->netcard_combo->currentText().toStdString());
}

void CfleetsetDlg::start_discovery() {
    // After Escape the search goes on and the list still mirrors it; otherwise both start
    // afresh.
    if (!m_discovery.IsRunning()) {
        m_inbox.discard();
        m_list_model->clear();
    }
    // The callback goes in first, so that no reply to the start sweep is lost.
    m_discovery.SetDiscoveryCB(&CfleetsetDlg::on_device_found, this);
    m_discovery.StartDiscovery(kDiscoveryInterval);
    start_onvif_search();
}

void CfleetsetDlg::stop_discovery() {
    // Joins the merge thread and the ONVIF search; both only queue, so they never wait for us.
    if (m_discovery.IsRunning()) m_discovery.StopDiscovery();
    m_onvif.stop();
}

void CfleetsetDlg::check_firewall() {
    if (!m_firewall_check || m_firewall_busy.exchange(true)) return;
    if (m_firewall_thread.joinable()) m_firewall_thread.join();
    FirewallCheck check = m_firewall_check;
    m_firewall_thread = std::thread([this, check] {
        check([this](const std::string& message) {
            const QString text = QString::fromStdString(message);
            QMetaObject::invokeMethod(this, [this, text] {
                // Opened without a modal loop of its own, inside this queued call.
                auto* box = new QMessageBox(QMessageBox::NoIcon, QCoreApplication::applicationName(), text,
                                            QMessageBox::Ok, this);
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->open();
            }, Qt::QueuedConnection);
        });
        m_firewall_busy = false;
    });
}

void CfleetsetDlg::queue_report(ReportChannel::Task task) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_report_mutex);
        wake = m_report_batch.empty();
        m_report_batch.push_back(std::move(task));
    }
    if (wake) QMetaObject::invokeMethod(this, [this] { drain_reports(); }, Qt::QueuedConnection);
}

void CfleetsetDlg::drain_reports() {
    std::vector<ReportChannel::Task> batch;
    {
        std::lock_guard<std::mutex> lock(m_report_mutex);
        batch.swap(m_report_batch);
    }
    m_in_batch = true;
    for (ReportChannel::Task& task : batch) task();
    m_in_batch = false;
    if (m_batch_first >= 0) m_list_model->rows_written(m_batch_first, m_batch_last);
    if (m_batch_progress >= 0 && m_job_phase != JobPhase::Idle && m_batch_progress != m_form->progress->value())
        m_form->progress->setValue(m_batch_progress);
    m_batch_first = m_batch_last = m_batch_progress = -1;
}

uint32_t CfleetsetDlg::on_device_found(const DEV_INFO* record, uint32_t is_new, void* context) {
    if (!context || !record) return 0;
    static_cast<CfleetsetDlg*>(context)->m_inbox.push(*record, is_new != 0);
    return 0;
}

void CfleetsetDlg::drain_discovery_inbox() {
    const auto items = m_inbox.take();
    if (items.empty()) return;
    const std::string need_update = get_lang_string(m_lang_ini, "IDS_NEED_UPDATE_FIRST");
    const DeviceTable::Forgotten forgotten = forgotten_by_discovery();
    int first = -1;
    int last = -1;
    for (const DiscoveryInbox::Item& item : items) {
        const auto update = m_devices.update_dev_find_list(item.record, item.is_new, need_update, forgotten);
        if (update.row < 0 || update.inserted) continue;
        first = first < 0 ? update.row : std::min(first, update.row);
        last = std::max(last, update.row);
    }
    m_list_model->rows_written(first, last);
}

DeviceTable::Forgotten CfleetsetDlg::forgotten_by_discovery() {
    return [this](const std::string& mac) {
        DEV_INFO record;
        int64_t heard_ms = 0;
        return m_discovery.FindDevice(mac.c_str(), record, heard_ms) != RC_OK;
    };
}

int CfleetsetDlg::update_dev_find_list(const DEV_INFO& record, int is_new) {
    const auto update = m_devices.update_dev_find_list(record, is_new != 0, get_lang_string(m_lang_ini, "IDS_NEED_UPDATE_FIRST"),
                                                       forgotten_by_discovery());
    m_list_model->rows_written(update.inserted ? -1 : update.row, update.inserted ? -1 : update.row);
    return 0;
}

void CfleetsetDlg::refresh_list() {
    const std::string address = m_form->netcard_combo->currentText().toStdString();
    m_inbox.discard();
    m_list_model->clear();
    m_onvif.refresh();
    // The sweep pauses between its requests: it runs beside the window, and a refresh
    // asked for while one is under way waits for it.
    join_refresh();
    m_refresh_thread = std::thread([this, address] { m_discovery.RefreshDiscovery(address.c_str()); });
}

void CfleetsetDlg::join_refresh() {
    if (m_refresh_thread.joinable()) m_refresh_thread.join();
}

void CfleetsetDlg::select_all() {
    m_devices.select_all();
    m_list_model->checks_changed();
}

void CfleetsetDlg::select_invert() {
    m_devices.invert();
    m_list_model->checks_changed();
}

void CfleetsetDlg::on_device_type_changed(int index) {
    if (index == m_dev_type) return;
    m_dev_type = index;
    refresh_list();
}

void CfleetsetDlg::on_set_network_clicked(bool checked) {
    control(NetworkSetButton)->setEnabled(checked);
    for (int id : BatchForm::kNetworkFields) control(id)->setEnabled(checked);
    control(DhcpCheck)->setEnabled(!checked);
}

void CfleetsetDlg::on_dhcp_clicked(bool checked) {
    control(NetworkSetButton)->setEnabled(checked);
    control(SetNetworkCheck)->setEnabled(!checked);
}

void CfleetsetDlg::browse_into(int edit_id, const QString& filter, const QString& default_suffix) {
    const QString path = m_choose_file(this, filter, default_suffix);
    if (!path.isEmpty()) control_as<QLineEdit>(edit_id)->setText(path);
}

void CfleetsetDlg::show_about() {
    CAboutDlg about(this, [this](const char* key) { return lang(key); });
    about.exec();
}

void CfleetsetDlg::closeEvent(QCloseEvent* event) {
    if (job_running()) {
        if (!m_confirm(this, lang("IDS_QUIT_UPGRADE_CONFIRM"), lang("IDS_PROMPT"))) {
            event->ignore();
            return;
        }
        clear_job();
    }
    join_refresh();
    stop_discovery();
    QDialog::closeEvent(event);
}

void CfleetsetDlg::done(int result) {
    // Escape ends here too: without the question, the job and the search go on.
    m_open = false;
    QDialog::done(result);
}
