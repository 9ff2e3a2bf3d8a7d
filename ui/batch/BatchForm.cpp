#include "ui/batch/BatchForm.h"

#include <algorithm>
#include <iterator>

#include "batch/DeviceTable.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/DeviceListModel.h"
#include "ui/batch/IpAddressField.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QAction>
#include <QGridLayout>
#include <QMenu>
#include <QToolButton>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

#include <string>

using namespace batch_ids;

namespace {

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

} // namespace

const int BatchForm::kNetworkFields[5] = {IpAddressEdit, SubmaskEdit, GatewayEdit, Dns1Edit, Dns2Edit};

BatchForm::BatchForm(QDialog* window, DeviceListModel* model) : m_window(window) {
    create(model);
    lay_out();
}

template <class T>
T* BatchForm::make(int id) {
    auto* widget = new T(m_window);
    widget->setObjectName(QString::number(id));
    m_controls[id] = widget;
    return widget;
}

QWidget* BatchForm::control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void BatchForm::apply_texts(const Lang& lang) {
    for (const ControlText& c : kControls)
        if (*c.key) set_caption(control(c.id), lang(c.key));
    as<QLabel>(DoneCounterLabel)->clear();
}

void BatchForm::create(DeviceListModel* model) {
    devlist = make<QTableView>(DeviceList);
    devlist->setModel(model);
    devlist->setShowGrid(true);
    devlist->setSelectionBehavior(QAbstractItemView::SelectRows);
    devlist->setSelectionMode(QAbstractItemView::SingleSelection);
    devlist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    devlist->setSortingEnabled(false);  // rows stay in the order of their index numbers
    devlist->setWordWrap(false);
    devlist->verticalHeader()->setVisible(false);
    devlist->verticalHeader()->setDefaultSectionSize(devlist->fontMetrics().height() + 6);
    devlist->horizontalHeader()->setHighlightSections(false);
    devlist->horizontalHeader()->setStretchLastSection(true);
    devlist->horizontalHeader()->setMinimumSectionSize(16);  // the mark columns are narrow
    for (int c = 0; c < kListColumns; ++c)
        devlist->setColumnWidth(c, DeviceListModel::kColumnWidths[c]);
    // The index column also holds the check box, and must fit four-digit indexes beside it.
    devlist->setColumnWidth(COL_INDEX, DeviceListModel::kColumnWidths[COL_INDEX] + 22);

    make<QLabel>(DeviceTypeLabel);
    devtype_combo = make<QComboBox>(DeviceTypeCombo);
    make<QPushButton>(RefreshButton);
    make<QPushButton>(SelectAllButton);
    make<QPushButton>(InvertButton);
    make<QLabel>(UserNameLabel);
    make<QLineEdit>(UserNameEdit);
    make<QLabel>(PasswordLabel);
    make<QLineEdit>(PasswordEdit)->setEchoMode(QLineEdit::Password);
    make<QLabel>(NetworkCardLabel);
    netcard_combo = make<QComboBox>(NetworkCardCombo);

    make<QGroupBox>(UpgradeGroup);
    make<QCheckBox>(AutoIpCheck);
    make<IpAddressField>(RangeFirstAddress);
    make<IpAddressField>(RangeLastAddress);
    make<QPushButton>(AutoIpSetButton);
    make<QCheckBox>(UpgradeFirmwareCheck);
    make<QLineEdit>(FirmwarePathEdit);
    make<QPushButton>(FirmwareBrowseButton);
    make<QPushButton>(UpgradeButton);
    progress = make<QProgressBar>(ProgressBar);
    progress->setRange(0, 100);
    progress->setValue(0);
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
    timezone_combo = make<QComboBox>(TimeZoneCombo);
    make<QPushButton>(TimeZoneSetButton);
    make<QCheckBox>(TimeFormatCheck);
    timefmt_combo = make<QComboBox>(TimeFormatCombo);
    make<QPushButton>(TimeFormatSetButton);
    make<QCheckBox>(VideoStandardCheck);
    videostd_combo = make<QComboBox>(VideoStandardCombo);
    make<QPushButton>(VideoStandardSetButton);
    make<QCheckBox>(LanguageCheck);
    language_combo = make<QComboBox>(LanguageCombo);
    make<QPushButton>(LanguageSetButton);
    make<QCheckBox>(DefaultPasswordCheck);
    make<QLineEdit>(DefaultPasswordEdit);
    make<QPushButton>(DefaultPasswordSetButton);
    make<QCheckBox>(MaxChannelCheck);
    maxch_combo = make<QComboBox>(MaxChannelCombo);
    make<QPushButton>(MaxChannelSetButton);
    make<QCheckBox>(DefaultChannelCheck);
    defaultch_combo = make<QComboBox>(DefaultChannelCombo);
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
    for (QComboBox* combo : {videostd_combo, timezone_combo, timefmt_combo, language_combo, maxch_combo,
                             defaultch_combo, netcard_combo}) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
    }
    for (auto& [id, widget] : m_controls)
        if (auto* button = qobject_cast<QPushButton*>(widget)) button->setAutoDefault(false);

    // One button with a menu: the top row keeps the width the window needs on a small screen.
    menu_button = new QToolButton(m_window);
    menu_button->setObjectName(QStringLiteral("menu"));
    menu_button->setPopupMode(QToolButton::InstantPopup);
    menu_button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* menu = new QMenu(menu_button);
    all_steps_action = menu->addAction(QString());
    all_steps_action->setCheckable(true);
    export_action = menu->addAction(QString());
    menu->addSeparator();
    about_action = menu->addAction(QString());
    menu_button->setMenu(menu);
}

void BatchForm::lay_out() {
    auto* top = new QHBoxLayout;
    top->addWidget(control(DeviceTypeLabel));
    top->addWidget(devtype_combo);
    top->addSpacing(8);
    top->addWidget(control(RefreshButton));
    top->addWidget(control(SelectAllButton));
    top->addWidget(control(InvertButton));
    top->addStretch(1);
    top->addWidget(control(SpareRefreshButton));
    top->addWidget(control(SpareLabel));
    top->addWidget(menu_button);
    // The login and the network card, shown with all job steps: a row of their own, so that
    // the window still fits a small screen.
    auto* login = new QHBoxLayout;
    for (int id : {UserNameLabel, UserNameEdit, PasswordLabel, PasswordEdit, NetworkCardLabel, NetworkCardCombo})
        login->addWidget(control(id));
    login->addStretch(1);

    // Upgrade group: address range, firmware, logo, clock, command, progress, start and stop.
    auto* upgrade = new QGridLayout(as<QGroupBox>(UpgradeGroup));
    upgrade->setColumnStretch(2, 1);
    int r = 0;
    auto* range = new QHBoxLayout;
    range->addWidget(control(RangeFirstAddress));
    auto* tilde = new QLabel(QStringLiteral("~"), m_window);
    m_range_tilde = tilde;
    range->addWidget(tilde);
    range->addWidget(control(RangeLastAddress));
    tilde->setVisible(false);  // shown with the address range, which this window keeps hidden
    upgrade->addWidget(control(AutoIpCheck), r, 1);
    upgrade->addLayout(range, r, 2, 1, 2);
    upgrade->addWidget(control(AutoIpSetButton), r, 4);
    ++r;
    upgrade->addWidget(new QLabel(QStringLiteral("1"), m_window), r, 0);
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
    auto* progress_row = new QHBoxLayout;
    progress_row->addWidget(control(ProgressLabel));
    progress_row->addWidget(progress, 1);
    progress_row->addWidget(control(DoneCounterLabel));
    upgrade->addLayout(progress_row, r, 1, 1, 4);
    ++r;
    auto* job = new QHBoxLayout;
    job->addStretch(1);
    job->addWidget(control(StartButton));
    job->addWidget(control(StopButton));
    upgrade->addLayout(job, r, 1, 1, 4);

    // Settings group: device settings (kept hidden here), fixed address or DHCP, resets.
    auto* setting = new QGridLayout(as<QGroupBox>(SettingGroup));
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
    // One address a row: the group stays narrow enough for both groups side by side.
    for (const auto& [label, field] : {std::pair{IpAddressLabel, IpAddressEdit}, std::pair{SubmaskLabel, SubmaskEdit},
                                       std::pair{GatewayLabel, GatewayEdit}, std::pair{Dns1Label, Dns1Edit},
                                       std::pair{Dns2Label, Dns2Edit}}) {
        setting->addWidget(control(label), r, 0);
        setting->addWidget(control(field), r, 1, 1, 2);
        ++r;
    }
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

    auto* outer = new QVBoxLayout(m_window);
    outer->addLayout(top);
    outer->addLayout(login);
    outer->addWidget(devlist, 1);
    outer->addLayout(groups);
    m_window->resize(1280, 760);
}

void BatchForm::fill_combo_boxes(const Lang& lang) {
    const auto fill = [](QComboBox* combo, const QStringList& entries, int selected) {
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->addItems(entries);
        combo->setCurrentIndex(selected);
    };
    fill(devtype_combo, {lang("IDS_ALL")}, 0);
    fill(videostd_combo, {QStringLiteral("NTSC"), QStringLiteral("PAL")}, 0);
    QStringList zones;
    for (int i = 0; i < 25; ++i) zones << time_zone_entry(i);
    fill(timezone_combo, zones, 20);
    QStringList formats;
    for (int i = 0; i < 4; ++i) formats << lang(("IDS_TIME_FORMAT_" + std::to_string(i)).c_str());
    fill(timefmt_combo, formats, 0);
    QStringList languages;
    for (int i = 0; i <= 20; ++i) languages << lang(("IDS_LANGUAGE_" + std::to_string(i)).c_str());
    fill(language_combo, languages, 2);
    fill(maxch_combo, {QStringLiteral("10"), QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("13"),
                         QStringLiteral("14")}, 4);
    QStringList channels{lang("IDS_AUTO")};
    for (int ch = 1; ch <= 14; ++ch) channels << QString::number(ch);
    fill(defaultch_combo, channels, 0);
}

void BatchForm::apply_start_states() {
    // Every opening starts from the window's first state: nothing ticked, paths empty.
    for (auto& [id, widget] : m_controls) {
        if (auto* check = qobject_cast<QCheckBox*>(widget)) check->setChecked(false);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->clear();
    }
    as<QLineEdit>(UserNameEdit)->setText(QStringLiteral("Admin"));
    progress->setValue(0);
    for (const ControlText& c : kControls) {
        QWidget* widget = control(c.id);
        widget->setHidden(c.start == Start::Hidden);
        widget->setEnabled(c.start != Start::Disabled);
    }
    // The name servers follow the "set network" box like the other address fields.
    for (int id : kNetworkFields) control(id)->setEnabled(false);
}

void BatchForm::show_all_steps(bool on) {
    // The spares and the name servers serve no step: they stay hidden either way.
    static constexpr int kNeverShown[] = {SpareRefreshButton, SpareLabel, Dns1Label, Dns1Edit, Dns2Label, Dns2Edit};
    for (const ControlText& c : kControls) {
        if (c.start != Start::Hidden || std::find(std::begin(kNeverShown), std::end(kNeverShown), c.id) != std::end(kNeverShown))
            continue;
        control(c.id)->setVisible(on);
    }
    m_range_tilde->setVisible(on);
    all_steps_action->setChecked(on);
}
