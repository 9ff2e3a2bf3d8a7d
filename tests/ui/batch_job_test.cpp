// The batch window running jobs on a simulated fleet: launch checks, marks and messages, the
// enabled state, the all-finished notice, stop and close mid-job, export. The jobs' own steps
// are the job tests'.
#include "UiTest.h"
#include "support/DeviceRecord.h"
#include "support/JobLab.h"
#include "support/TempFile.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/DeviceListModel.h"
#include "ui/batch/IpAddressField.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QToolButton>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>


using namespace batch_ids;
using namespace ui_test;

namespace {

class BatchJobWindow : public BatchWindowTest {
protected:
    void SetUp() override {
        BatchWindowTest::SetUp();
        window->set_refusal([this](QWidget*, const QString& text, const QString& caption) {
            refusals.push_back(text);
            EXPECT_EQ(caption, t("IDS_ERROR"));
        });
        window->set_notice([this](QWidget*, const QString& text, const QString&, QMessageBox::Icon) { notices.push_back(text); });
        window->set_neighbour_cache(&neighbours);
    }
    void TearDown() override {
        BatchWindowTest::TearDown();
        fleet.reset();
        Clock::set_speed(1);
    }
    void start_fleet(size_t count, const std::function<void(CameraConfig&)>& adjust = {}) {
        Clock::set_speed(50);
        fleet = std::make_unique<SimFleet>(support::job_fleet(count, adjust));
        ASSERT_TRUE(fleet->start());
        open();
        ASSERT_TRUE(wait_for([&] { return window->devices().size() == count; }));
    }
    void tick_all() {
        window->select_all();
        settle();
    }
    bool wait_job_end() { return wait_for([&] { return !window->job_running() && !notices.empty(); }); }
    std::string cell(int row, int column) { return window->devices().cell(static_cast<size_t>(row), column); }
    void set_range(const char* first, const char* last) {
        ctl<IpAddressField>(RangeFirstAddress)->set_address(first);
        ctl<IpAddressField>(RangeLastAddress)->set_address(last);
    }

    std::unique_ptr<SimFleet> fleet;
    std::vector<QString> refusals;
    std::vector<QString> notices;
    support::CountingNeighbours neighbours;
};

TEST_F(BatchJobWindow, EachLaunchCheckRefusesWithItsMessageAndFocus) {
    open();
    support::TempDir files;
    const QString firmware = QString::fromStdString(files.write("a.update", "x"));
    // Two listed cameras; which are ticked is up to each case.
    window->update_dev_find_list(make_device_record("00:1A:2B:00:00:01", "10.77.5.1"), 1);
    window->update_dev_find_list(make_device_record("00:1A:2B:00:00:02", "10.77.5.2"), 1);
    settle();
    const auto tick = [&](bool first, bool second) {
        window->devices().set_checked(0, first);
        window->devices().set_checked(1, second);
    };
    const auto fixed = [&](const char* ip, const char* mask, const char* gateway) {
        if (!ctl<QCheckBox>(SetNetworkCheck)->isChecked()) ctl<QCheckBox>(SetNetworkCheck)->click();
        ctl<IpAddressField>(IpAddressEdit)->set_address(ip);
        ctl<IpAddressField>(SubmaskEdit)->set_address(mask);
        ctl<IpAddressField>(GatewayEdit)->set_address(gateway);
    };
    struct Case {
        const char* name;
        std::function<void()> setup;
        int button;
        const char* key;  // nullptr: accepted and started
        int focus;
    };
    const Case cases[] = {
        {"no user name", [&] { ctl<QLineEdit>(UserNameEdit)->clear(); }, UpgradeButton, "IDS_INPUT_USER_NAME",
         UserNameEdit},
        {"no path", [&] { ctl<QLineEdit>(FirmwarePathEdit)->clear(); }, UpgradeButton, "IDS_FIRMWARE_PATH_EMPTY",
         FirmwareBrowseButton},
        {"path of 7", [&] { ctl<QLineEdit>(FirmwarePathEdit)->setText("a.updat"); }, UpgradeButton,
         "IDS_INVALID_UPGRADE_FILE", FirmwareBrowseButton},
        {"no such file", [&] { ctl<QLineEdit>(FirmwarePathEdit)->setText("/nowhere/a.update"); }, UpgradeButton,
         "IDS_FIRMWARE_NOT_FOUND", FirmwareBrowseButton},
        {"nothing ticked", [&] { ctl<QLineEdit>(FirmwarePathEdit)->setText(firmware); }, UpgradeButton,
         "IDS_NO_DEVICE_TICKED", DeviceList},
        {"both ends bad", [&] { set_range("", "255.255.255.255"); }, AutoIpSetButton, "IDS_INVALID_IP_ADDR",
         RangeFirstAddress},
        {"prefixes differ", [&] { set_range("10.0.0.1", "10.0.1.5"); }, AutoIpSetButton, "IDS_IP_RANGE_DISMATCH",
         RangeLastAddress},
        {"end below start", [&] { set_range("192.168.1.20", "192.168.1.10"); }, AutoIpSetButton,
         "IDS_IP_END_ERROR_LESS_START", RangeLastAddress},
        {"loopback range", [&] { tick(true, false); set_range("127.0.0.1", "127.0.0.9"); }, AutoIpSetButton,
         "IDS_RANGE_UNUSABLE", RangeFirstAddress},
        {"every address listed", [&] { set_range("10.77.5.1", "10.77.5.2"); }, AutoIpSetButton, "IDS_ALL_IP_CONFLICT", -1},
        {"range set needs no user", [&] {
             tick(false, false);
             ctl<QLineEdit>(UserNameEdit)->clear();
             set_range("192.168.1.9", "192.168.1.10");
         }, AutoIpSetButton, "IDS_NO_DEVICE_TICKED", DeviceList},
        {"one end makes a range of one", [&] { set_range("", "192.168.1.7"); }, AutoIpSetButton,
         "IDS_NO_DEVICE_TICKED", DeviceList},
        {"blank fixed fields", [&] { tick(true, false); fixed("", "", ""); }, NetworkSetButton,
         "IDS_ADDRESS_UNUSABLE", IpAddressEdit},
        {"blank mask", [&] { fixed("10.77.5.50", "", "10.77.0.1"); }, NetworkSetButton, "IDS_MASK_UNUSABLE", SubmaskEdit},
        {"gateway elsewhere", [&] { fixed("10.77.5.50", "255.255.255.0", "10.78.0.1"); }, NetworkSetButton,
         "IDS_GATEWAY_OUTSIDE_SUBNET", GatewayEdit},
        {"another camera's address", [&] { fixed("10.77.5.2", "255.255.0.0", "10.77.0.1"); }, NetworkSetButton,
         "IDS_FIXED_IP_TAKEN", IpAddressEdit},
        {"one address for two", [&] { tick(true, true); fixed("10.77.5.50", "255.255.0.0", "10.77.0.1"); },
         NetworkSetButton, "IDS_FIXED_IP_FOR_MANY", DeviceList},
        {"factory reset declined", [&] { tick(true, true); answer_ok = false; }, FactoryResetButton, "", -1},
    };
    for (const Case& c : cases) {
        ctl<QLineEdit>(UserNameEdit)->setText("Admin");
        refusals.clear();
        // The shipped layout hides some of these; a hidden control cannot take the focus.
        if (c.focus >= 0) ctl(c.focus)->show();
        c.setup();
        window->launch(c.button);
        EXPECT_FALSE(window->job_running()) << c.name;
        if (!*c.key) {
            EXPECT_TRUE(refusals.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(refusals.size(), 1u) << c.name;
        EXPECT_EQ(refusals[0], t(c.key)) << c.name;
        if (c.focus >= 0) {
            EXPECT_EQ(window->focusWidget(), ctl(c.focus)) << c.name;
        }
    }
    EXPECT_EQ(ctl<IpAddressField>(RangeFirstAddress)->address(), "192.168.1.7") << "the good end fills the other";
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].first, "t-confirm_factory_reset 2") << "says how many";
}

// "All job steps" shows the groups the shipped view hides and is kept for the next opening.
// The view, and the window's own mapping of its boxes to a job's steps: a clock-and-settings
// job started from the window's controls ends with both columns done.
TEST_F(BatchJobWindow, AllJobStepsShowsTheHiddenGroupsRunsTheirJobAndIsKept) {
    start_fleet(2);
    EXPECT_FALSE(ctl(TimeZoneSetButton)->isVisible()) << "the shipped view";
    QAction* all_steps = window->findChild<QToolButton*>("menu")->menu()->actions().at(0);
    all_steps->trigger();
    for (int id : {UserNameEdit, TimeZoneCombo, TimeSyncCheck, SyncButton, StartButton, UidEdit})
        EXPECT_TRUE(ctl(id)->isVisible()) << id;
    EXPECT_FALSE(ctl(Dns1Edit)->isVisible()) << "no step sends it";
    tick_all();
    ctl<QCheckBox>(TimeSyncCheck)->setChecked(true);
    ctl<QCheckBox>(TimeZoneCheck)->setChecked(true);
    ctl<QPushButton>(StartButton)->click();
    ASSERT_TRUE(wait_job_end());
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(cell(row, COL_MARK_CLOCK) + cell(row, COL_MARK_SETTINGS) + cell(row, COL_MARK_UPGRADE),
                  "\u221A\u221A\u2014") << row;
    window.reset();
    BatchWindowTest::SetUp();
    open();
    EXPECT_TRUE(ctl(TimeZoneSetButton)->isVisible()) << "kept with the inputs";
}

// The job's steps and marks per camera are the job tests'; here what the window does around it.
TEST_F(BatchJobWindow, AFirmwareJobRunsToTheAllFinishedBox) {
    support::Firmware firmware({2, 5, 0}, 64 * 1024);
    start_fleet(3);
    tick_all();
    ctl<QLineEdit>(FirmwarePathEdit)->setText(QString::fromStdString(firmware.path()));
    ctl<QPushButton>(UpgradeButton)->click();
    ASSERT_TRUE(window->job_running());
    EXPECT_EQ(enabled({UpgradeButton, DeviceList, IpAddressEdit, StopButton}), "0001");
    ASSERT_TRUE(wait_job_end());
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0], t("IDS_ALL_FINISH") + "\nt-job_counts 3 0");
    EXPECT_EQ(cell(2, COL_MARK_UPGRADE), "\u221A");
    EXPECT_EQ(ctl<QProgressBar>(ProgressBar)->value(), 0) << "a finished job leaves the bar at 0";
    EXPECT_TRUE(ctl<QLabel>(DoneCounterLabel)->text().isEmpty());
    EXPECT_EQ(enabled({UpgradeButton, StopButton, NetworkSetButton}), "100") << "neither network box is ticked";
}

// Stop and close with 100 workers at work: no deadlock, every worker ended.
TEST_F(BatchJobWindow, StopAndCloseMidJobWithAHundredWorkers) {
    support::Firmware firmware({2, 5, 0}, 1024 * 1024);
    start_fleet(100);
    ctl<QLineEdit>(FirmwarePathEdit)->setText(QString::fromStdString(firmware.path()));
    for (bool close : {false, true}) {
        tick_all();
        window->launch(UpgradeButton);
        ASSERT_EQ(window->job().worker_count(), 100);
        ASSERT_TRUE(wait_for([&] {
            for (int row = 0; row < 100; ++row)
                if (cell(row, COL_MESSAGE) == " ") return false;
            return true;  // every worker is at work
        }));
        if (close) {
            answer_ok = true;
            EXPECT_TRUE(window->close());
            EXPECT_EQ(questions.size(), 1u) << "closing mid-job asks first";
        } else {
            ctl<QPushButton>(StopButton)->click();
            for (int row = 0; row < 100; ++row) {
                EXPECT_EQ(cell(row, COL_MARK_UPGRADE), " ");
                EXPECT_EQ(cell(row, COL_MESSAGE), t("IDS_JOB_STOPPED").toStdString()) << "no waiting text stays";
            }
        }
        EXPECT_FALSE(window->job_running());
        EXPECT_EQ(ctl<QProgressBar>(ProgressBar)->value(), 0);
        settle();
        EXPECT_TRUE(notices.empty()) << "a stopped job is not reported as finished";
        if (!close) {
            EXPECT_TRUE(ctl(UpgradeButton)->isEnabled());
        }
        window->select_all();  // untick for the next round
    }
}

TEST_F(BatchJobWindow, InputsAreSavedAfterALaunchThatPassedItsChecksOnly) {
    open();
    ctl<QLineEdit>(UserNameEdit)->setText("operator");
    ctl<QLineEdit>(FirmwarePathEdit)->setText("fw.upda");  // 7 characters: refused, not saved
    window->launch(UpgradeButton);
    EXPECT_EQ(window->load_cfg_param(), 1) << "nothing saved yet";
    support::TempDir files;
    const QString firmware = QString::fromStdString(files.write("camera.update", "x"));
    ctl<QLineEdit>(FirmwarePathEdit)->setText(firmware);
    ctl<IpAddressField>(IpAddressEdit)->set_address("10.77.60.1");
    window->launch(UpgradeButton);  // no ticked row: nothing starts, but the inputs are kept
    EXPECT_FALSE(window->job_running());

    window.reset();
    SetUp();
    open();
    EXPECT_EQ(ctl<QLineEdit>(UserNameEdit)->text(), "operator");
    EXPECT_EQ(ctl<QLineEdit>(FirmwarePathEdit)->text(), firmware);
    EXPECT_EQ(ctl<IpAddressField>(IpAddressEdit)->address(), "10.77.60.1");
}

TEST_F(BatchJobWindow, ExportWritesEveryColumnWithMarksAndMessages) {
    start_fleet(2);
    // Which code sets which mark and message is the status marks' table (tests/cli).
    window->OnJobReport(REPORT_STATUS, pack_report(1, ST_UPGRADE_OK));
    window->OnJobReport(REPORT_STATUS, pack_report(7, ST_UPGRADE_OK));  // no such row: nothing
    support::TempDir dir;
    for (const char* name : {"/report.csv", "/report.json"}) {
        const QString path = QString::fromStdString(dir.path()) + name;
        window->set_choose_save_file([&](QWidget*, const QString&, const QString&) { return path; });
        window->export_list();
        const std::string text = support::file_text(path.toStdString());
        EXPECT_NE(text.find(cell(1, COL_MAC)), std::string::npos) << name;
        EXPECT_NE(text.find(t("IDS_UPGRADE_OK").toStdString()), std::string::npos) << name;
    }
    EXPECT_TRUE(refusals.empty());
}

} // namespace
