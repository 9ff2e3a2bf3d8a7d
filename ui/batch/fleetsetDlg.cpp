#include "ui/batch/fleetsetDlg.h"

#include "app/AboutDlg.h"
#include "app/ProgramIcon.h"
#include "devsdk/ovix_client.h"
#include "discovery/LocalAddresses.h"
#include "foundation/LangTable.h"
#include "foundation/debug_log.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/DeviceListModel.h"
#include "ui/batch/IpAddressField.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

using namespace batch_ids;

namespace {

constexpr const char* kFile = "fleetsetDlg";
// One sweep when the window opens; later sweeps come from refresh_list only.
constexpr int32_t kDiscoveryInterval = 2147483647;

enum class Start { Shown, Hidden, Disabled };

// Texts and start states of the controls, as the window shows them after its start code.
// An empty key leaves the control's own caption.
struct ControlText {
    int id;
    const char* key;
    Start start;
};

constexpr ControlText kControls[] = {
    {DeviceList, "", Start::Shown},
    {DeviceTypeLabel, "IDS_DEVICE_TYPE", Start::Shown},
    {DeviceTypeCombo, "", Start::Shown},
    {RefreshButton, "IDS_REFRESH", Start::Shown},
    {SelectAllButton, "IDS_SELECT_ALL", Start::Shown},
    {InvertButton, "IDS_SELECT_INVERT", Start::Shown},
    {UserNameLabel, "IDS_USER_NAME", Start::Hidden},
    {UserNameEdit, "", Start::Hidden},
    {PasswordLabel, "IDS_PASSWORD", Start::Hidden},
    {PasswordEdit, "", Start::Hidden},
    {NetworkCardLabel, "IDS_NETWORK_CARD", Start::Hidden},
    {NetworkCardCombo, "", Start::Hidden},
    {UpgradeGroup, "IDS_UPGRADE_FUNC", Start::Shown},
    {AutoIpCheck, "IDS_IP_ADDR_RANGE", Start::Hidden},
    {RangeFirstAddress, "", Start::Hidden},
    {RangeLastAddress, "", Start::Hidden},
    {AutoIpSetButton, "IDS_SET", Start::Hidden},
    {UpgradeFirmwareCheck, "IDS_UPGRADE_VERSON", Start::Shown},
    {FirmwarePathEdit, "", Start::Shown},
    {FirmwareBrowseButton, "IDS_BROWSE", Start::Shown},
    {UpgradeButton, "IDS_START_UPGRADE", Start::Shown},
    {ProgressBar, "", Start::Shown},
    {ProgressLabel, "IDS_PROGRESS", Start::Hidden},
    {DoneCounterLabel, "", Start::Hidden},
    {UpdateLogoCheck, "IDS_UPDATE_LOGO", Start::Hidden},
    {LogoPathEdit, "", Start::Hidden},
    {LogoBrowseButton, "IDS_BROWSE", Start::Hidden},
    {LogoUpgradeButton, "IDS_START_UPGRADE", Start::Hidden},
    {TimeSyncCheck, "IDS_TIME_SYNC", Start::Hidden},
    {SyncButton, "IDS_SYNC", Start::Hidden},
    {SendCommandCheck, "IDS_SEND_COMMAND", Start::Hidden},
    {CommandEdit, "", Start::Hidden},
    {SendButton, "IDS_SEND", Start::Hidden},
    {StartButton, "IDS_START", Start::Hidden},
    {StopButton, "IDS_STOP", Start::Disabled},
    {SettingGroup, "IDS_IP_CONFIG", Start::Shown},
    {TimeZoneCheck, "IDS_TIME_ZONE", Start::Hidden},
    {TimeZoneCombo, "", Start::Hidden},
    {TimeZoneSetButton, "IDS_SET", Start::Hidden},
    {TimeFormatCheck, "IDS_TIME_FMT", Start::Hidden},
    {TimeFormatCombo, "", Start::Hidden},
    {TimeFormatSetButton, "IDS_SET", Start::Hidden},
    {VideoStandardCheck, "IDS_VIDEO_STANDARD", Start::Hidden},
    {VideoStandardCombo, "", Start::Hidden},
    {VideoStandardSetButton, "IDS_SET", Start::Hidden},
    {LanguageCheck, "IDS_LANGUAGE", Start::Hidden},
    {LanguageCombo, "", Start::Hidden},
    {LanguageSetButton, "IDS_SET", Start::Hidden},
    {DefaultPasswordCheck, "IDS_DEFAULT_PWD", Start::Hidden},
    {DefaultPasswordEdit, "", Start::Hidden},
    {DefaultPasswordSetButton, "IDS_SET", Start::Hidden},
    {MaxChannelCheck, "IDS_MAX_CHANNEL_NUM", Start::Hidden},
    {MaxChannelCombo, "", Start::Hidden},
    {MaxChannelSetButton, "IDS_SET", Start::Hidden},
    {DefaultChannelCheck, "IDS_DEFAULT_CHANNEL", Start::Hidden},
    {DefaultChannelCombo, "", Start::Hidden},
    {DefaultChannelSetButton, "IDS_SET", Start::Hidden},
    {SetNetworkCheck, "IDS_SET_DEFAULT_IPC", Start::Shown},
    {IpAddressLabel, "IDS_IP_ADDR", Start::Shown},
    {IpAddressEdit, "", Start::Disabled},
    {SubmaskLabel, "IDS_IP_SUBMASK", Start::Shown},
    {SubmaskEdit, "", Start::Disabled},
    {GatewayLabel, "IDS_IP_GATEWAY", Start::Shown},
    {GatewayEdit, "", Start::Disabled},
    {Dns1Label, "IDS_IP_DNS1", Start::Hidden},
    {Dns1Edit, "", Start::Hidden},
    {Dns2Label, "IDS_IP_DNS2", Start::Hidden},
    {Dns2Edit, "", Start::Hidden},
    {DhcpCheck, "IDS_DHCP", Start::Shown},
    {NetworkSetButton, "IDS_SET", Start::Disabled},
    {UidCheck, "", Start::Hidden},
    {UidEdit, "", Start::Hidden},
    {UidSetButton, "IDS_SET", Start::Hidden},
    {FactoryResetButton, "IDS_RESTORE_FACTORY_SETTINGS", Start::Shown},
    {ResetPasswordButton, "IDS_RESET_PWD", Start::Shown},
    {SpareRefreshButton, "", Start::Hidden},
    {SpareLabel, "", Start::Hidden},
};

// The fixed-address fields that follow the "set network" box.
constexpr int kNetworkFields[] = {IpAddressEdit, SubmaskEdit, GatewayEdit, Dns1Edit, Dns2Edit};

void set_caption(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(text);
}

QString time_zone_entry(int i) {
    return i < 13 ? QString::asprintf("UTC:-%02d:00", 12 - i) : QString::asprintf("UTC:+%02d:00", i - 12);
}

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

} // namespace

const char* const CfleetsetDlg::kAboutEntryText = "关于 fleetset(&A)...";

template <class T>
T* CfleetsetDlg::make(int id) {
    auto* widget = new T(this);
    widget->setObjectName(QString::number(id));
    m_controls[id] = widget;
    return widget;
}

CfleetsetDlg::CfleetsetDlg(QWidget* parent, DiscoveryConfig discovery_config)
    : QDialog(parent),
      m_reports([this](ReportChannel::Task task) { QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection); },
                [this](ReportKind kind, uint32_t payload) { on_job_report(kind, payload); }),
      m_inbox([this] { QMetaObject::invokeMethod(this, [this] { drain_discovery_inbox(); }, Qt::QueuedConnection); }),
      m_discovery(std::move(discovery_config)),
      m_confirm(ask_ok_cancel),
      m_choose_file(open_file_dialog) {
    setWindowIcon(program_icon());
    setWindowTitle(QStringLiteral("fleetset"));
    setSizeGripEnabled(true);
    create_controls();
    lay_out();
    connect_controls();
    track_inputs();
    if (Network_ClientInit() == OVIX_OK) {
        m_sdk_ready = true;
    } else {
        DEBUG_LOCATION(kFile, "CfleetsetDlg::CfleetsetDlg");
        debug_log("Network_ClientInit failed\n");
    }
}

CfleetsetDlg::~CfleetsetDlg() {
    // No report may reach a window that is going away.
    stop_discovery();
    clear_job();
    if (m_firewall_thread.joinable()) m_firewall_thread.join();
    m_devlist->setModel(nullptr);
    delete m_list_model;
    m_list_model = nullptr;
    if (m_sdk_ready) Network_ClientUnInit();
}

QWidget* CfleetsetDlg::control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QString CfleetsetDlg::lang(const char* key) const {
    return QString::fromStdString(get_lang_string(m_lang_ini, key));
}

void CfleetsetDlg::create_controls() {
    m_devlist = make<QTableView>(DeviceList);
    m_list_model = new DeviceListModel(m_devices, this);
    m_devlist->setModel(m_list_model);
    m_devlist->setShowGrid(true);
    m_devlist->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_devlist->setSelectionMode(QAbstractItemView::SingleSelection);
    m_devlist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_devlist->setSortingEnabled(false);  // rows stay in the order of their index numbers
    m_devlist->setWordWrap(false);
    m_devlist->verticalHeader()->setVisible(false);
    m_devlist->verticalHeader()->setDefaultSectionSize(m_devlist->fontMetrics().height() + 6);
    m_devlist->horizontalHeader()->setHighlightSections(false);
    m_devlist->horizontalHeader()->setStretchLastSection(true);
    m_devlist->horizontalHeader()->setMinimumSectionSize(16);  // the mark columns are narrow
    for (int c = 0; c < kDeviceColumns; ++c)
        m_devlist->setColumnWidth(c, DeviceListModel::kColumnWidths[c]);
    // The index column also holds the check box, and must fit four-digit indexes beside it.
    m_devlist->setColumnWidth(COL_INDEX, DeviceListModel::kColumnWidths[COL_INDEX] + 22);

    make<QLabel>(DeviceTypeLabel);
    m_devtype_combo = make<QComboBox>(DeviceTypeCombo);
    make<QPushButton>(RefreshButton);
    make<QPushButton>(SelectAllButton);
    make<QPushButton>(InvertButton);
    make<QLabel>(UserNameLabel);
    make<QLineEdit>(UserNameEdit);
    make<QLabel>(PasswordLabel);
    make<QLineEdit>(PasswordEdit)->setEchoMode(QLineEdit::Password);
    make<QLabel>(NetworkCardLabel);
    m_netcard_combo = make<QComboBox>(NetworkCardCombo);

    make<QGroupBox>(UpgradeGroup);
    make<QCheckBox>(AutoIpCheck);
    make<IpAddressField>(RangeFirstAddress);
    make<IpAddressField>(RangeLastAddress);
    make<QPushButton>(AutoIpSetButton);
    make<QCheckBox>(UpgradeFirmwareCheck);
    make<QLineEdit>(FirmwarePathEdit);
    make<QPushButton>(FirmwareBrowseButton);
    make<QPushButton>(UpgradeButton);
    m_progress = make<QProgressBar>(ProgressBar);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    make<QLabel>(ProgressLabel);
    make<QLabel>(DoneCounterLabel);
    make<QCheckBox>(UpdateLogoCheck);
    make<QLineEdit>(LogoPathEdit);
    make<QPushButton>(LogoBrowseButton);
    make<QPushButton>(LogoUpgradeButton);
    make<QCheckBox>(TimeSyncCheck);
    make<QPushButton>(SyncButton);
    make<QCheckBox>(SendCommandCheck);
    make<QLineEdit>(CommandEdit);
    make<QPushButton>(SendButton);
    make<QPushButton>(StartButton);
    make<QPushButton>(StopButton);

    make<QGroupBox>(SettingGroup);
    make<QCheckBox>(TimeZoneCheck);
    m_timezone_combo = make<QComboBox>(TimeZoneCombo);
    make<QPushButton>(TimeZoneSetButton);
    make<QCheckBox>(TimeFormatCheck);
    m_timefmt_combo = make<QComboBox>(TimeFormatCombo);
    make<QPushButton>(TimeFormatSetButton);
    make<QCheckBox>(VideoStandardCheck);
    m_videostd_combo = make<QComboBox>(VideoStandardCombo);
    make<QPushButton>(VideoStandardSetButton);
    make<QCheckBox>(LanguageCheck);
    m_language_combo = make<QComboBox>(LanguageCombo);
    make<QPushButton>(LanguageSetButton);
    make<QCheckBox>(DefaultPasswordCheck);
    make<QLineEdit>(DefaultPasswordEdit);
    make<QPushButton>(DefaultPasswordSetButton);
    make<QCheckBox>(MaxChannelCheck);
    m_maxch_combo = make<QComboBox>(MaxChannelCombo);
    make<QPushButton>(MaxChannelSetButton);
    make<QCheckBox>(DefaultChannelCheck);
    m_defaultch_combo = make<QComboBox>(DefaultChannelCombo);
    make<QPushButton>(DefaultChannelSetButton);
    make<QCheckBox>(SetNetworkCheck);
    make<QLabel>(IpAddressLabel);
    make<IpAddressField>(IpAddressEdit);
    make<QLabel>(SubmaskLabel);
    make<IpAddressField>(SubmaskEdit);
    make<QLabel>(GatewayLabel);
    make<IpAddressField>(GatewayEdit);
    make<QLabel>(Dns1Label);
    make<IpAddressField>(Dns1Edit);
    make<QLabel>(Dns2Label);
    make<IpAddressField>(Dns2Edit);
    make<QCheckBox>(DhcpCheck);
    make<QPushButton>(NetworkSetButton);
    make<QCheckBox>(UidCheck)->setText(QStringLiteral("UID(tuya)"));
    make<QLineEdit>(UidEdit);
    make<QPushButton>(UidSetButton);
    make<QPushButton>(FactoryResetButton);
    make<QPushButton>(ResetPasswordButton);
    make<QPushButton>(SpareRefreshButton)->setText(QStringLiteral("refresh"));
    make<QLabel>(SpareLabel);

    // The combo boxes other than the device type accept typed text.
    for (QComboBox* combo : {m_videostd_combo, m_timezone_combo, m_timefmt_combo, m_language_combo, m_maxch_combo,
                             m_defaultch_combo, m_netcard_combo}) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
    }
    for (auto& [id, widget] : m_controls)
        if (auto* button = qobject_cast<QPushButton*>(widget)) button->setAutoDefault(false);

    m_about_button = new QPushButton(QString::fromUtf8(kAboutEntryText), this);
    m_about_button->setObjectName(QStringLiteral("about"));
    m_about_button->setAutoDefault(false);
    m_about_button->setFlat(true);
}

void CfleetsetDlg::lay_out() {
    auto* top = new QHBoxLayout;
    top->addWidget(control(DeviceTypeLabel));
    top->addWidget(m_devtype_combo);
    top->addSpacing(8);
    for (int id : {UserNameLabel, UserNameEdit, PasswordLabel, PasswordEdit, NetworkCardLabel, NetworkCardCombo})
        top->addWidget(control(id));
    top->addWidget(control(RefreshButton));
    top->addWidget(control(SelectAllButton));
    top->addWidget(control(InvertButton));
    top->addStretch(1);
    top->addWidget(control(SpareRefreshButton));
    top->addWidget(control(SpareLabel));
    top->addWidget(m_about_button);

    // Upgrade group: address range, firmware, logo, clock, command, progress, start and stop.
    auto* upgrade = new QGridLayout(control_as<QGroupBox>(UpgradeGroup));
    upgrade->setColumnStretch(2, 1);
    int r = 0;
    auto* range = new QHBoxLayout;
    range->addWidget(control(RangeFirstAddress));
    auto* tilde = new QLabel(QStringLiteral("~"), this);
    range->addWidget(tilde);
    range->addWidget(control(RangeLastAddress));
    tilde->setVisible(false);  // shown with the address range, which this window keeps hidden
    upgrade->addWidget(control(AutoIpCheck), r, 1);
    upgrade->addLayout(range, r, 2);
    upgrade->addWidget(control(AutoIpSetButton), r, 4);
    ++r;
    upgrade->addWidget(new QLabel(QStringLiteral("1"), this), r, 0);
    upgrade->addWidget(control(UpgradeFirmwareCheck), r, 1);
    upgrade->addWidget(control(FirmwarePathEdit), r, 2);
    upgrade->addWidget(control(FirmwareBrowseButton), r, 3);
    upgrade->addWidget(control(UpgradeButton), r, 4);
    ++r;
    upgrade->addWidget(control(UpdateLogoCheck), r, 1);
    upgrade->addWidget(control(LogoPathEdit), r, 2);
    upgrade->addWidget(control(LogoBrowseButton), r, 3);
    upgrade->addWidget(control(LogoUpgradeButton), r, 4);
    ++r;
    upgrade->addWidget(control(TimeSyncCheck), r, 1);
    upgrade->addWidget(control(SyncButton), r, 4);
    ++r;
    upgrade->addWidget(control(SendCommandCheck), r, 1);
    upgrade->addWidget(control(CommandEdit), r, 2, 1, 2);
    upgrade->addWidget(control(SendButton), r, 4);
    ++r;
    upgrade->setRowStretch(r, 1);
    ++r;
    auto* progress = new QHBoxLayout;
    progress->addWidget(control(ProgressLabel));
    progress->addWidget(m_progress, 1);
    progress->addWidget(control(DoneCounterLabel));
    upgrade->addLayout(progress, r, 1, 1, 4);
    ++r;
    auto* job = new QHBoxLayout;
    job->addStretch(1);
    job->addWidget(control(StartButton));
    job->addWidget(control(StopButton));
    upgrade->addLayout(job, r, 1, 1, 4);

    // Settings group: device settings (kept hidden here), fixed address or DHCP, resets.
    auto* setting = new QGridLayout(control_as<QGroupBox>(SettingGroup));
    setting->setColumnStretch(1, 1);
    setting->setColumnStretch(3, 1);
    r = 0;
    const int hidden_rows[][3] = {
        {TimeZoneCheck, TimeZoneCombo, TimeZoneSetButton},
        {TimeFormatCheck, TimeFormatCombo, TimeFormatSetButton},
        {VideoStandardCheck, VideoStandardCombo, VideoStandardSetButton},
        {LanguageCheck, LanguageCombo, LanguageSetButton},
        {DefaultPasswordCheck, DefaultPasswordEdit, DefaultPasswordSetButton},
        {MaxChannelCheck, MaxChannelCombo, MaxChannelSetButton},
        {DefaultChannelCheck, DefaultChannelCombo, DefaultChannelSetButton},
        {UidCheck, UidEdit, UidSetButton},
    };
    for (const auto& row : hidden_rows) {
        setting->addWidget(control(row[0]), r, 0);
        setting->addWidget(control(row[1]), r, 1, 1, 3);
        setting->addWidget(control(row[2]), r, 4);
        ++r;
    }
    setting->addWidget(control(SetNetworkCheck), r, 0, 1, 5);
    ++r;
    setting->addWidget(control(IpAddressLabel), r, 0);
    setting->addWidget(control(IpAddressEdit), r, 1);
    setting->addWidget(control(SubmaskLabel), r, 2);
    setting->addWidget(control(SubmaskEdit), r, 3);
    ++r;
    setting->addWidget(control(GatewayLabel), r, 0);
    setting->addWidget(control(GatewayEdit), r, 1);
    setting->addWidget(control(Dns1Label), r, 2);
    setting->addWidget(control(Dns1Edit), r, 3);
    ++r;
    setting->addWidget(control(Dns2Label), r, 2);
    setting->addWidget(control(Dns2Edit), r, 3);
    ++r;
    setting->addWidget(control(DhcpCheck), r, 0, 1, 4);
    setting->addWidget(control(NetworkSetButton), r, 4);
    ++r;
    setting->setRowStretch(r, 1);
    ++r;
    auto* resets = new QHBoxLayout;
    resets->addWidget(control(FactoryResetButton));
    resets->addWidget(control(ResetPasswordButton));
    resets->addStretch(1);
    setting->addLayout(resets, r, 0, 1, 5);

    auto* groups = new QHBoxLayout;
    groups->addWidget(control(UpgradeGroup), 1);
    groups->addWidget(control(SettingGroup), 1);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addWidget(m_devlist, 1);
    outer->addLayout(groups);
    resize(1280, 760);
}

void CfleetsetDlg::connect_controls() {
    connect(control_as<QPushButton>(RefreshButton), &QPushButton::clicked, this, [this] { refresh_list(); });
    connect(control_as<QPushButton>(SelectAllButton), &QPushButton::clicked, this, [this] { select_all(); });
    connect(control_as<QPushButton>(InvertButton), &QPushButton::clicked, this, [this] { select_invert(); });
    connect(m_devtype_combo, &QComboBox::currentIndexChanged, this, [this](int index) { on_device_type_changed(index); });
    connect(control_as<QCheckBox>(SetNetworkCheck), &QCheckBox::clicked, this,
            [this](bool checked) { on_set_network_clicked(checked); });
    connect(control_as<QCheckBox>(DhcpCheck), &QCheckBox::clicked, this, [this](bool checked) { on_dhcp_clicked(checked); });
    connect(control_as<QPushButton>(FirmwareBrowseButton), &QPushButton::clicked, this,
            [this] { browse_into(FirmwarePathEdit, QStringLiteral("update files(*.update)"), QStringLiteral("update")); });
    connect(control_as<QPushButton>(LogoBrowseButton), &QPushButton::clicked, this,
            [this] { browse_into(LogoPathEdit, QStringLiteral("update files(*.jpg)"), QStringLiteral("logo")); });
    connect(m_about_button, &QPushButton::clicked, this, [this] { show_about(); });
    connect(control_as<QPushButton>(StopButton), &QPushButton::clicked, this, [this] { clear_job(); });
    // The launch buttons are wired with the job engine.
}

void CfleetsetDlg::track_inputs() {
    for (auto& [id, widget] : m_controls) {
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
    if (!event->spontaneous() && !m_open) on_init_dialog();
}

void CfleetsetDlg::on_init_dialog() {
    m_open = true;
    if (m_lang_ini.empty()) m_lang_ini = find_lang_ini(program_directory(), user_language_id());
    apply_texts();
    fill_combo_boxes();
    get_more_ip();
    apply_start_states();
    // The load of the saved inputs comes here with the settings store.
    start_discovery();
    check_firewall();
}

void CfleetsetDlg::apply_texts() {
    setWindowTitle(lang("IDS_FLEETSET"));
    for (const ControlText& c : kControls)
        if (*c.key) set_caption(control(c.id), lang(c.key));
    control_as<QLabel>(DoneCounterLabel)->clear();
    m_list_model->set_message_header(lang("IDS_PROMPT"));
}

void CfleetsetDlg::fill_combo_boxes() {
    const auto fill = [](QComboBox* combo, const QStringList& entries, int selected) {
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->addItems(entries);
        combo->setCurrentIndex(selected);
    };
    fill(m_devtype_combo, {lang("IDS_ALL")}, 0);
    m_dev_type = m_devtype_combo->currentIndex();
    fill(m_videostd_combo, {QStringLiteral("NTSC"), QStringLiteral("PAL")}, 0);
    QStringList zones;
    for (int i = 0; i < 25; ++i) zones << time_zone_entry(i);
    fill(m_timezone_combo, zones, 20);
    QStringList formats;
    for (int i = 0; i < 4; ++i) formats << lang(("IDS_TIME_FORMAT_" + std::to_string(i)).c_str());
    fill(m_timefmt_combo, formats, 0);
    QStringList languages;
    for (int i = 0; i <= 20; ++i) languages << lang(("IDS_LANGUAGE_" + std::to_string(i)).c_str());
    fill(m_language_combo, languages, 2);
    fill(m_maxch_combo, {QStringLiteral("10"), QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("13"),
                         QStringLiteral("14")}, 4);
    QStringList channels{lang("IDS_AUTO")};
    for (int ch = 1; ch <= 14; ++ch) channels << QString::number(ch);
    fill(m_defaultch_combo, channels, 0);
    for (QComboBox* combo : {m_devtype_combo, m_videostd_combo, m_timezone_combo, m_timefmt_combo, m_language_combo,
                             m_maxch_combo, m_defaultch_combo}) {
        const int id = combo->objectName().toInt();
        m_inputs.set_index(id, combo->currentIndex());
        m_inputs.set_text(id, combo->currentText().toStdString());
    }
}

void CfleetsetDlg::get_more_ip() {
    const QSignalBlocker quiet(m_netcard_combo);
    m_netcard_combo->clear();
    std::vector<std::string> addresses;
    if (query_local_ipv4_addresses(addresses)) {
        for (const std::string& address : addresses) {
            DEBUG_LOCATION(kFile, "CfleetsetDlg::get_more_ip");
            debug_log("ip = %s\n", address.c_str());
            m_netcard_combo->addItem(QString::fromStdString(address));
        }
    }
    m_netcard_combo->setCurrentIndex(m_netcard_combo->count() > 0 ? 0 : -1);
    m_inputs.set_index(NetworkCardCombo, m_netcard_combo->currentIndex());
    m_inputs.set_text(NetworkCardCombo, m_netcard_combo->currentText().toStdString());
}

void CfleetsetDlg::apply_start_states() {
    // Every opening starts from the window's first state: nothing ticked, paths empty.
    for (auto& [id, widget] : m_controls) {
        if (auto* check = qobject_cast<QCheckBox*>(widget)) check->setChecked(false);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->clear();
    }
    control_as<QLineEdit>(UserNameEdit)->setText(QStringLiteral("Admin"));
    m_progress->setValue(0);
    for (const ControlText& c : kControls) {
        QWidget* widget = control(c.id);
        widget->setHidden(c.start == Start::Hidden);
        widget->setEnabled(c.start != Start::Disabled);
    }
    // The name servers follow the "set network" box like the other address fields.
    for (int id : kNetworkFields) control(id)->setEnabled(false);
}

void CfleetsetDlg::start_discovery() {
    // After Escape the search goes on and the list still mirrors it; otherwise both start
    // afresh.
    if (!m_discovery.IsRunning()) {
        m_inbox.discard();
        m_list_model->clear();
    }
    m_discovery.StartDiscovery(kDiscoveryInterval);
    m_discovery.SetDiscoveryCB(&CfleetsetDlg::on_device_found, this);
}

void CfleetsetDlg::stop_discovery() {
    // Joins the merge thread; its callback only queues a copy, so it never waits for us.
    if (m_discovery.IsRunning()) m_discovery.StopDiscovery();
}

void CfleetsetDlg::check_firewall() {
    if (!m_firewall_check || m_firewall_busy.exchange(true)) return;
    if (m_firewall_thread.joinable()) m_firewall_thread.join();
    FirewallCheck check = m_firewall_check;
    m_firewall_thread = std::thread([this, check] {
        check([this](const std::string& message) {
            const QString text = QString::fromStdString(message);
            QMetaObject::invokeMethod(this, [this, text] {
                QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok, this);
                box.exec();
            }, Qt::QueuedConnection);
        });
        m_firewall_busy = false;
    });
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
    int first = -1;
    int last = -1;
    for (const DiscoveryInbox::Item& item : items) {
        const auto update = m_devices.update_dev_find_list(item.record, item.is_new, need_update);
        if (update.row < 0 || update.inserted) continue;
        first = first < 0 ? update.row : std::min(first, update.row);
        last = std::max(last, update.row);
    }
    m_list_model->rows_written(first, last);
}

int CfleetsetDlg::update_dev_find_list(const DEV_INFO& record, int is_new) {
    const auto update = m_devices.update_dev_find_list(record, is_new != 0, get_lang_string(m_lang_ini, "IDS_NEED_UPDATE_FIRST"));
    m_list_model->rows_written(update.inserted ? -1 : update.row, update.inserted ? -1 : update.row);
    return 0;
}

void CfleetsetDlg::refresh_list() {
    const std::string address = m_netcard_combo->currentText().toStdString();
    m_inbox.discard();
    m_list_model->clear();
    m_discovery.RefreshDiscovery(address.c_str());
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
    for (int id : kNetworkFields) control(id)->setEnabled(checked);
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
    CAboutDlg about(this);
    about.exec();
}

void CfleetsetDlg::clear_job() {
    // Release every worker waiting in a send before waiting for the workers.
    m_reports.close();
    m_running = false;
    // Stopping the worker threads and resetting the job fields come with the job engine.
}

void CfleetsetDlg::on_job_report(ReportKind /*kind*/, uint32_t /*payload*/) {
    // The display of reports (marks, messages, progress) comes with the job engine.
}

void CfleetsetDlg::closeEvent(QCloseEvent* event) {
    if (m_running) {
        if (!m_confirm(this, lang("IDS_QUIT_UPGRADE_CONFIRM"), lang("IDS_PROMPT"))) {
            event->ignore();
            return;
        }
        clear_job();
    }
    stop_discovery();
    QDialog::closeEvent(event);
}

void CfleetsetDlg::done(int result) {
    // Escape ends here too: without the question, the job and the search go on.
    m_open = false;
    QDialog::done(result);
}
