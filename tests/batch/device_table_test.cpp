// The device rows as discovery fills them, and the ticks a job reads.
#include "batch/DeviceTable.h"
#include "support/DeviceRecord.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kNeedUpdate = "upgrade first";

DEV_INFO device(const std::string& mac, const std::string& ip, int32_t type = 1, const std::string& version = "2.4.1") {
    DEV_INFO d = make_device_record(mac, ip, version);
    d.device_type = type;
    return d;
}

std::vector<size_t> ticked(const DeviceTable& table) {
    std::vector<size_t> rows;
    for (size_t r = 0; r < table.size(); ++r)
        if (table.checked(r)) rows.push_back(r);
    return rows;
}

std::string shown(const DeviceTable& table, size_t r) {
    const auto row = *table.row(r);
    return row.index + " " + row.mac + " " + row.ip + " " + row.port + " " + row.version + " " + row.bid;
}

TEST(DeviceTable, FirstReportAddsRowAndLaterReportsOfItsMacUpdateItElseAreIgnored) {
    DeviceTable table;
    auto first = table.update_dev_find_list(device("00:1A:2B:00:00:01", "10.77.1.1"), true, kNeedUpdate);
    EXPECT_TRUE(first.row == 0 && first.inserted);
    EXPECT_EQ(shown(table, 0), "01 00:1A:2B:00:00:01 10.77.1.1 6001 2.4.1 0x3516");

    DEV_INFO moved = device("00:1A:2B:00:00:01", "10.77.2.9", 1, "3.0.0");
    moved.cmd_port = 6000;
    moved.board_type = 0x3559;
    // A new report for a listed MAC (one that crossed a refresh) updates it too.
    for (const bool is_new : {false, true}) {
        auto again = table.update_dev_find_list(moved, is_new, kNeedUpdate);
        EXPECT_TRUE(again.row == 0 && !again.inserted);
        EXPECT_EQ(shown(table, 0), "01 00:1A:2B:00:00:01 10.77.2.9 6000 3.0.0 0x3559");
    }
    EXPECT_EQ(table.update_dev_find_list(device("00:1A:2B:00:00:02", "10.77.1.2"), false, kNeedUpdate).row, -1);
    EXPECT_EQ(table.size(), 1u);
}

TEST(DeviceTable, FamilyOneFollowsDeviceType) {
    DeviceTable table;
    const std::vector<std::pair<int32_t, bool>> cases = {{19, true}, {18, false}, {200, true}, {2, true},
                                                          {1, false}, {199, false}, {233, true}};
    for (size_t i = 0; i < cases.size(); ++i)
        table.update_dev_find_list(device(numbered_mac(static_cast<int>(i)), "10.77.1.1", cases[i].first), true, kNeedUpdate);
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(table.is_type1(i), cases[i].second) << "device type " << cases[i].first;

    // A device that reports another type later follows it.
    table.update_dev_find_list(device(numbered_mac(0), "10.77.1.1", 18), false, kNeedUpdate);
    EXPECT_FALSE(table.is_type1(0));
}

TEST(DeviceTable, EmptyVersionAsksForUpgradeInColumnSeven) {
    DeviceTable table;
    table.update_dev_find_list(device(numbered_mac(1), "10.77.1.1", 1, ""), true, kNeedUpdate);
    table.update_dev_find_list(device(numbered_mac(2), "10.77.1.2", 1, "2.4.1"), true, kNeedUpdate);
    EXPECT_EQ(table.cell(0, COL_MARK_UPGRADE), kNeedUpdate);
    EXPECT_EQ(table.cell(0, COL_VERSION), "");
    EXPECT_EQ(table.cell(1, COL_MARK_UPGRADE), "");
    for (int c = COL_MARK_IP; c <= COL_MESSAGE; ++c) {
        if (c == COL_MARK_UPGRADE) continue;
        EXPECT_EQ(table.cell(0, c), "") << "column " << c;
    }
}

TEST(DeviceTable, UnknownDeviceTypeIsLoggedAndStillListed) {
    LogCapture log;
    DeviceTable table;
    table.update_dev_find_list(device(numbered_mac(1), "10.77.1.1", 0), true, kNeedUpdate);
    table.update_dev_find_list(device(numbered_mac(2), "10.77.1.2", 1), true, kNeedUpdate);
    EXPECT_EQ(table.size(), 2u);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("[fleetsetDlg : CfleetsetDlg::update_dev_find_list] ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(" entered\n"), std::string::npos);
    EXPECT_EQ(lines[1], "unknown device type: 0\n");
}

TEST(DeviceTable, AFullListGivesAForgottenUntickedRowToANewDeviceElseLeavesItOut) {
    DeviceTable table;
    table.set_row_limit(3);
    for (const char* mac : {"A", "B", "C"}) table.update_dev_find_list(device(mac, "10.77.1.1"), true, kNeedUpdate);
    table.set_checked(0, true);
    table.set_cell(1, COL_MESSAGE, "old message");
    const std::set<std::string> forgotten_macs{"A", "B"};  // A is ticked: its row stays
    const auto forgotten = [&](const std::string& mac) { return forgotten_macs.count(mac) > 0; };
    const auto update = table.update_dev_find_list(device("D", "10.77.1.4"), true, kNeedUpdate, forgotten);
    EXPECT_TRUE(update.row == 1 && !update.inserted);
    EXPECT_EQ(shown(table, 1) + " [" + table.cell(1, COL_MESSAGE) + "]", "02 D 10.77.1.4 6001 2.4.1 0x3516 []");
    EXPECT_EQ(std::pair(table.find_mac("B"), table.find_mac("D")), std::pair(-1, 1));
    LogCapture log;
    EXPECT_EQ(table.update_dev_find_list(device("E", "10.77.1.5"), true, kNeedUpdate, forgotten).row, -1);
    EXPECT_EQ(table.update_dev_find_list(device("F", "10.77.1.6"), true, kNeedUpdate).row, -1);
    EXPECT_EQ(table.size(), 3u);
    EXPECT_TRUE(log.contains("device list full"));
}

TEST(DeviceTable, SelectAllAndInvert) {
    DeviceTable table;
    for (int n = 0; n < 5; ++n) table.update_dev_find_list(device(numbered_mac(n), "10.77.1.1"), true, kNeedUpdate);
    table.set_checked(1, true), table.set_checked(3, true);
    table.invert();
    EXPECT_EQ(ticked(table), (std::vector<size_t>{0, 2, 4}));
    EXPECT_EQ(table.count_checked(), 3u);
    table.select_all();
    EXPECT_EQ(table.count_checked(), 5u);
    table.invert();
    EXPECT_EQ(table.count_checked(), 0u);
    EXPECT_FALSE(table.set_checked(5, true));
}

// Workers read rows while the window lists new devices; under the sanitizers this shows
// any access outside the lock.
TEST(DeviceTable, ReadersSeeWholeRowsWhileTheListGrows) {
    DeviceTable table;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&] {
            while (!done) {
                const size_t n = table.size();
                if (n == 0) continue;
                auto row = table.row(n - 1);
                if (row && row->mac != numbered_mac(std::stoi(row->index) - 1)) ++torn;
            }
        });
    for (int n = 0; n < 500; ++n) table.update_dev_find_list(device(numbered_mac(n), "10.77.1.1"), true, kNeedUpdate);
    done = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(table.size(), 500u);
}

} // namespace
