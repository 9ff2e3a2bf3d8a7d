// Address changes, the IP barrier, unreachable devices and stopping a job.
#include "support/JobLab.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <random>

using namespace support;

namespace {
std::string pool_address(int row) { return "10.77.50." + std::to_string(row + 1); }
} // namespace

TEST(JobAddresses, ARangeMovesEveryCameraBeforeAnyLoginAndFlushesTheCacheOnce) {
    JobLab lab(job_fleet(4));
    ASSERT_TRUE(lab.start());
    uint64_t logins_at_flush = 1;
    bool all_moved_at_flush = false;
    lab.neighbours.on_flush = [&] {
        logins_at_flush = 0;
        all_moved_at_flush = true;
        for (SimCamera* camera : lab.fleet.cameras()) {
            logins_at_flush += camera->device_record().logins_accepted;
            all_moved_at_flush &= camera->current().ip_address.rfind("10.77.50.", 0) == 0;
        }
    };
    JobSteps steps;
    steps.change_auto_ip = steps.change_time_sync = 1;
    ASSERT_TRUE(lab.run(lab.launch(steps, pool_address)));
    EXPECT_EQ(lab.neighbours.flushes, 1);
    EXPECT_EQ(logins_at_flush, 0u) << "no login before the last device has its address";
    EXPECT_TRUE(all_moved_at_flush);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(lab.camera_of(row).current().ip_address, pool_address(row));
        const auto codes = lab.log.statuses(row);
        EXPECT_EQ(std::count(codes.begin(), codes.end(), ST_CHANGE_IP_OK), 3) << "three requests";
        EXPECT_FALSE(has(codes, ST_CHANGE_IP_SKIP)) << "the mark of the change stays";
        EXPECT_TRUE(has(codes, ST_TIME_SYNC_OK)) << "logged in at the new address";
        EXPECT_EQ(lab.log.count(REPORT_CHANGE_IP_DONE, static_cast<uint32_t>(row)), 1u);
    }
}

TEST(JobAddresses, AFixedAddressAloneNeverLogsIn) {
    JobLab lab(job_fleet(2));
    ASSERT_TRUE(lab.start());
    lab.inputs.ip = "10.77.60.1", lab.inputs.mask = "255.255.0.0", lab.inputs.gateway_ip = "10.77.0.9";
    JobSteps steps;
    steps.change_ip = 1;
    ASSERT_TRUE(lab.run(lab.launch(steps, [](int) { return "10.77.60.1"; })));
    for (int row = 0; row < 2; ++row) {
        const CameraConfig now = lab.camera_of(row).current();
        EXPECT_EQ(now.ip_address, "10.77.60.1");
        EXPECT_EQ(now.gateway, "10.77.0.9");
        EXPECT_EQ(lab.camera_of(row).device_record().logins_accepted + lab.camera_of(row).device_record().logins_refused, 0u);
        EXPECT_EQ(lab.log.end_reports(row), 1u);
    }
    EXPECT_EQ(lab.neighbours.flushes, 0);
}

// Stopping at a random moment: every worker ends at once and reports its end exactly once,
// whatever it was doing (transfer, reboot wait, barrier, reconnect).
TEST(JobStop, AHundredWorkersStopAtAnyMoment) {
    Firmware firmware({2, 5, 0}, 256 * 1024);
    JobLab lab(job_fleet(100));
    ASSERT_TRUE(lab.start());
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 3; ++round) {
        JobSteps steps;
        steps.need_update = steps.change_time_zone = 1;
        steps.change_auto_ip = round == 1;
        JobLaunch launch = lab.launch(steps, [&](int row) { return round == 1 ? pool_address(row) : ""; });
        launch.upgrade_file = firmware.path();
        lab.log.clear();
        lab.log.channel().open();
        ASSERT_EQ(lab.job.start_job(launch), 100);
        Clock::sleep_ms(std::uniform_int_distribution<int>(0, 60000)(random));
        lab.stop();
        EXPECT_FALSE(lab.job.running());
        ASSERT_TRUE(eventually([&] { return lab.log.count(REPORT_DEVICE_DONE) == 100; }));
        for (int row = 0; row < 100; ++row) EXPECT_EQ(lab.log.end_reports(row), 1u) << "row " << row;
    }
}
