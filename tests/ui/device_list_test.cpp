// The device list filled from discovery in the lab, its ticks, and a large fleet. A listed
// camera's changes reaching its row is the engine's discovery test; here the window's side.
#include "UiTest.h"
#include "sim/SimFleet.h"
#include "support/DeviceRecord.h"
#include "ui/batch/ControlIds.h"
#include "ui/batch/DeviceListModel.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

using namespace batch_ids;
using namespace ui_test;

namespace {

std::vector<CameraConfig> cameras(int count) {
    std::vector<CameraConfig> out(static_cast<size_t>(count));
    for (int n = 1; n <= count; ++n) {
        out[n - 1].mac_address = "00:1A:2B:00:01:" + QString::asprintf("%02X", n).toStdString();
        out[n - 1].ip_address = "10.77.2." + std::to_string(n);
    }
    return out;
}

DEV_INFO record(int n) {
    return make_device_record(numbered_mac(n), "10.77." + std::to_string(1 + n / 250) + "." + std::to_string(1 + n % 250));
}

class DeviceList : public BatchWindowTest {
protected:
    void start_fleet(std::vector<CameraConfig> list) {
        FleetConfig config;
        config.cameras = std::move(list);
        fleet = std::make_unique<SimFleet>(config);
        ASSERT_TRUE(fleet->start());
    }
    void TearDown() override {
        BatchWindowTest::TearDown();
        if (fleet) fleet->stop();
    }
    QAbstractItemModel* model() { return ctl<QTableView>(batch_ids::DeviceList)->model(); }
    QString shown(int row, int column) { return model()->index(row, column).data().toString(); }
    bool ticked(int row) { return model()->index(row, COL_INDEX).data(Qt::CheckStateRole).toInt() == Qt::Checked; }
    void tick(int row) { model()->setData(model()->index(row, COL_INDEX), Qt::Checked, Qt::CheckStateRole); }

    std::unique_ptr<SimFleet> fleet;
};

TEST_F(DeviceList, RefreshEmptiesTheListAndDiscoveryFillsItAgain) {
    start_fleet(cameras(3));
    open();
    ASSERT_TRUE(wait_for([&] { return model()->rowCount() == 3; }));
    tick(0);
    const uint64_t requests = fleet->discovery().stats().requests_handled;

    ctl<QPushButton>(RefreshButton)->click();
    EXPECT_EQ(std::pair(model()->rowCount(), window->devices().size()), std::pair(0, size_t{0}));
    ASSERT_TRUE(wait_for([&] { return model()->rowCount() == 3; }));
    EXPECT_GT(fleet->discovery().stats().requests_handled, requests) << "a new search was sent";
    EXPECT_FALSE(ticked(0)) << "refilled rows start unticked";
    EXPECT_EQ(shown(2, COL_INDEX), "03");
}

// Which rows the buttons tick is the device table's test; here the list and the buttons.
TEST_F(DeviceList, TicksAndTheSelectButtonsReachTheRowsTheWorkersRead) {
    open();
    for (int n = 0; n < 3; ++n) window->update_dev_find_list(record(n), 1);
    tick(1);
    EXPECT_TRUE(window->devices().checked(1));
    ctl<QPushButton>(InvertButton)->click();
    EXPECT_TRUE(ticked(0) && !ticked(1) && ticked(2));
    ctl<QPushButton>(SelectAllButton)->click();
    EXPECT_EQ(window->devices().count_checked(), 3u);
}

TEST_F(DeviceList, AThousandReportsReachTheListInOneBatch) {
    open();
    QSignalSpy inserted(model(), &QAbstractItemModel::rowsInserted);
    // The merge thread reports while the window thread is busy elsewhere.
    std::thread merge([&] {
        for (int n = 0; n < 1000; ++n) {
            const DEV_INFO d = record(n);
            CfleetsetDlg::on_device_found(&d, 1, window.get());
        }
    });
    merge.join();
    EXPECT_EQ(model()->rowCount(), 0) << "nothing touches the list from the merge thread";
    ASSERT_TRUE(wait_for([&] { return model()->rowCount() == 1000; }));
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(shown(999, COL_INDEX), "1000");
    EXPECT_EQ(shown(100, COL_MAC), QString::fromLatin1(record(100).mac_address));

    // Updates of listed devices repaint; they add nothing.
    std::thread again([&] {
        for (int n = 0; n < 1000; n += 7) {
            DEV_INFO d = record(n);
            set_text(d.software_ver, "9.9.9");
            CfleetsetDlg::on_device_found(&d, 0, window.get());
        }
    });
    again.join();
    ASSERT_TRUE(wait_for([&] { return shown(994, COL_VERSION) == "9.9.9"; }));
    EXPECT_EQ(model()->rowCount(), 1000);
    EXPECT_EQ(inserted.count(), 1);
}

// Closing stops discovery while its callbacks are still arriving; the window thread never
// waits for the merge thread while that one waits for the window.
TEST_F(DeviceList, ClosingWhileDevicesAreReportedDoesNotHang) {
    start_fleet(cameras(200));
    for (int round = 0; round < 3; ++round) {
        open();
        ASSERT_TRUE(wait_for([&] { return window->devices().size() > 0; }));
        EXPECT_TRUE(window->close());
        EXPECT_FALSE(window->discovery().IsRunning());
    }
}

} // namespace
