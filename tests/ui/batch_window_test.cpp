// The batch window's controls, texts, combo boxes, small handlers and closing.
#include "UiTest.h"
#include "support/DeviceRecord.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/IpAddressField.h"
#include "ui/batch/DeviceListModel.h"

#include <QCheckBox>
#include <QScreen>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QTest>

#include <tuple>

using namespace batch_ids;
using namespace ui_test;

namespace {

QString caption(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
    return {};
}

using BatchWindow = BatchWindowTest;

TEST_F(BatchWindow, StartStatesAfterOpening) {
    open();
    // One control of each group: the shipped view, not a copy of the layout.
    const std::vector<int> shown = {DeviceList, DeviceTypeCombo, RefreshButton, SelectAllButton, InvertButton,
        FirmwarePathEdit, UpgradeButton, ProgressBar, SetNetworkCheck, DhcpCheck, FactoryResetButton, ResetPasswordButton};
    const std::vector<int> disabled = {StopButton, NetworkSetButton, IpAddressEdit, GatewayEdit};
    const std::vector<int> hidden = {UserNameEdit, PasswordEdit, NetworkCardCombo, RangeFirstAddress, DoneCounterLabel,
        LogoPathEdit, SyncButton, CommandEdit, StartButton, TimeZoneCombo, DefaultPasswordEdit, Dns1Edit, UidEdit, SpareLabel};
    for (int id : shown) EXPECT_TRUE(ctl(id)->isVisible() && ctl(id)->isEnabled()) << id;
    for (int id : disabled) EXPECT_TRUE(ctl(id)->isVisible() && !ctl(id)->isEnabled()) << id;
    for (int id : hidden) EXPECT_TRUE(ctl(id)->isHidden()) << id;
    EXPECT_EQ(ctl(GatewayEdit)->objectName(), QString::number(GatewayEdit));
    EXPECT_EQ(std::tuple(ctl<QLineEdit>(UserNameEdit)->text(), ctl<QProgressBar>(ProgressBar)->maximum(),
                         ctl<QProgressBar>(ProgressBar)->value(), window->discovery().IsRunning()),
              std::tuple(QString("Admin"), 100, 0, true));
}

TEST_F(BatchWindow, TextsComeFromTheLanguageFile) {
    open();
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("批量 t-fleetset"));
    const std::vector<std::pair<int, const char*>> keyed = {
        {DeviceTypeLabel, "IDS_DEVICE_TYPE"}, {UpgradeGroup, "IDS_UPGRADE_FUNC"}, {StopButton, "IDS_STOP"},
        {SetNetworkCheck, "IDS_SET_DEFAULT_IPC"}, {MaxChannelCheck, "IDS_MAX_CHANNEL_NUM"},
    };
    for (const auto& [id, key] : keyed) EXPECT_EQ(caption(ctl(id)), t(key)) << "control " << id;
    EXPECT_EQ(caption(ctl(UidCheck)), "UID(tuya)");
    EXPECT_EQ(caption(ctl(DoneCounterLabel)), "");

    auto* list = ctl<QTableView>(DeviceList);
    auto* model = list->model();
    ASSERT_EQ(model->columnCount(), kListColumns);
    const QStringList headers = {"Index", "MAC", "IP", "Port", "Version", "BID", t("IDS_COL_ADDRESS"), t("IDS_COL_UPGRADE"),
                                 t("IDS_COL_LOGO"), t("IDS_COL_COMMAND"), t("IDS_COL_CLOCK"), t("IDS_COL_SETTINGS")};
    for (int c = 0; c < 12; ++c) EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), headers[c]);
    EXPECT_EQ(model->headerData(7, Qt::Horizontal, Qt::ToolTipRole).toString(), t("IDS_MARKS_TIP"));
    EXPECT_EQ(model->headerData(12, Qt::Horizontal).toString(), t("IDS_PROMPT"));
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
}

// Squeezed, the window stops at a size where every address field still shows a whole address,
// and it opens within the screen's work area.
TEST_F(BatchWindow, NeverNarrowerThanAWholeAddress) {
    open();
    const QRect room = window->screen()->availableGeometry();
    EXPECT_LE(window->width(), std::max(room.width(), window->minimumWidth()));
    EXPECT_LE(window->height(), std::max(room.height(), window->minimumHeight()));
    EXPECT_LE(window->minimumWidth(), 1024) << "fits a small laptop's screen";
    EXPECT_LE(window->minimumHeight(), 700);
    ctl<QCheckBox>(SetNetworkCheck)->click();
    for (const QSize size : {QSize(1024, 700), QSize(400, 300)}) {
        window->resize(size);
        settle();
        for (int id : {IpAddressEdit, SubmaskEdit, GatewayEdit, RangeFirstAddress, RangeLastAddress}) {
            auto* field = ctl<IpAddressField>(id);
            EXPECT_GE(field->width(), field->fontMetrics().horizontalAdvance("255.255.255.255")) << id;
        }
    }
}

// Opening again fills the boxes afresh rather than adding to them.
TEST_F(BatchWindow, ReopeningFillsTheComboBoxesAfresh) {
    open();
    const int zones = ctl<QComboBox>(TimeZoneCombo)->count();
    window->reject();
    open();
    EXPECT_EQ(ctl<QComboBox>(TimeZoneCombo)->count(), zones);
    EXPECT_EQ(ctl<QComboBox>(DeviceTypeCombo)->count(), 1);
}

TEST_F(BatchWindow, WorkersReadControlValuesWithoutTheWidgets) {
    open();
    JobInputs& inputs = window->inputs();
    EXPECT_EQ(inputs.text(TimeZoneCombo), "UTC:+08:00");
    EXPECT_EQ(inputs.text(IpAddressEdit), "0.0.0.0") << "a blank address field reads as 0.0.0.0";
    ctl<QLineEdit>(FirmwarePathEdit)->setText("/tmp/fw/camera.update");
    ctl<QCheckBox>(UpgradeFirmwareCheck)->click();
    ctl<QComboBox>(MaxChannelCombo)->setCurrentIndex(1);
    ctl<QComboBox>(LanguageCombo)->setEditText("typed");
    EXPECT_EQ(inputs.text(FirmwarePathEdit), "/tmp/fw/camera.update");
    EXPECT_TRUE(inputs.checked(UpgradeFirmwareCheck));
    EXPECT_EQ(inputs.index(MaxChannelCombo), 1);
    EXPECT_EQ(inputs.text(MaxChannelCombo), "11");
    EXPECT_EQ(inputs.text(LanguageCombo), "typed");
}

TEST_F(BatchWindow, SetNetworkAndDhcpBoxesEnableEachOther) {
    open();
    auto* set_network = ctl<QCheckBox>(SetNetworkCheck);
    auto* dhcp = ctl<QCheckBox>(DhcpCheck);
    // The set button, the DHCP box and the set-network box; the five address fields.
    const auto state = [&] {
        return enabled({NetworkSetButton, DhcpCheck, SetNetworkCheck}) + " " +
               enabled({IpAddressEdit, SubmaskEdit, GatewayEdit, Dns1Edit, Dns2Edit});
    };
    set_network->click();
    EXPECT_EQ(state(), "101 11111");
    set_network->click();
    EXPECT_EQ(state(), "011 00000");
    dhcp->click();
    EXPECT_EQ(state(), "110 00000") << "DHCP leaves the address fields alone";
    dhcp->click();
    EXPECT_EQ(state(), "011 00000");
}

TEST_F(BatchWindow, BrowseFillsThePathOnlyWhenAFileWasChosen) {
    open();
    QString filter;
    QString suffix;
    QString answer = "/data/fw/v3.update";
    window->set_choose_file([&](QWidget*, const QString& f, const QString& s) {
        filter = f;
        suffix = s;
        return answer;
    });
    const auto browse = [&](int button, int edit) {
        ctl<QPushButton>(button)->click();
        return (std::vector<QString>{filter, suffix, ctl<QLineEdit>(edit)->text()});
    };
    EXPECT_EQ(browse(FirmwareBrowseButton, FirmwarePathEdit),
              (std::vector<QString>{"update files(*.update)", "update", "/data/fw/v3.update"}));
    answer.clear();
    EXPECT_EQ(browse(FirmwareBrowseButton, FirmwarePathEdit)[2], "/data/fw/v3.update") << "cancel keeps the path";
    answer = "/data/logo/a.jpg";
    EXPECT_EQ(browse(LogoBrowseButton, LogoPathEdit), (std::vector<QString>{"update files(*.jpg)", "logo", "/data/logo/a.jpg"}));
}

TEST_F(BatchWindow, EscapeLeavesTheSearchRunningAndCloseStopsItAskingNothing) {
    open();
    window->update_dev_find_list(make_device_record("00:1A:2B:00:00:01", "10.77.1.1"), 1);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(window->discovery().IsRunning());

    // The list still mirrors the running search when the window opens again; a real close
    // (without a job, asking nothing) stops it, and the next search starts with an empty list.
    open();
    EXPECT_EQ(window->devices().size(), 1u);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(questions.empty());
    EXPECT_FALSE(window->discovery().IsRunning());
    open();
    EXPECT_EQ(window->devices().size(), 0u);
}

TEST_F(BatchWindow, FirewallIsCheckedBesideTheWindowAtEachOpening) {
    open();
    ASSERT_TRUE(wait_for([&] { return firewall_checks == 1; }));
    EXPECT_NE(firewall_thread, std::this_thread::get_id()) << "the check never holds up the window";
    window->reject();
    open();
    ASSERT_TRUE(wait_for([&] { return firewall_checks == 2; }));
}

TEST_F(BatchWindow, DeviceTypeChangeRefreshesOnlyForANewEntry) {
    open();
    auto* devtype = ctl<QComboBox>(DeviceTypeCombo);
    devtype->addItem("second");
    window->update_dev_find_list(make_device_record("00:1A:2B:00:00:01", "10.77.1.1"), 1);
    devtype->setCurrentIndex(1);
    EXPECT_EQ(window->m_dev_type, 1);
    EXPECT_EQ(window->devices().size(), 0u) << "a new entry refreshes the list";

    window->update_dev_find_list(make_device_record("00:1A:2B:00:00:02", "10.77.1.2"), 1);
    {
        const QSignalBlocker quiet(devtype);
        devtype->setCurrentIndex(0);
    }
    devtype->setCurrentIndex(1);  // reports the entry the window already has
    EXPECT_EQ(window->devices().size(), 1u) << "the same entry again does not refresh";
    devtype->setCurrentIndex(0);
    EXPECT_EQ(window->m_dev_type, 0);
    EXPECT_EQ(window->devices().size(), 0u);
}

} // namespace
