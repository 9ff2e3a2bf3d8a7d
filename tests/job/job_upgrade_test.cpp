// Upgrades through the engine, checked against what each simulated camera received.
#include "support/JobLab.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

using namespace support;

namespace {

JobSteps upgrade_only() {
    JobSteps steps;
    steps.need_update = 1;
    return steps;
}

struct UpgradeJob : ::testing::Test {
    Firmware firmware{{2, 5, 0}, 64 * 1024};

    void run(JobLab& lab) {
        ASSERT_TRUE(firmware.ok);
        ASSERT_TRUE(lab.start());
        JobLaunch launch = lab.launch(upgrade_only());
        launch.upgrade_file = firmware.path();
        ASSERT_TRUE(lab.run(launch));
        for (int row = 0; row < static_cast<int>(lab.devices.size()); ++row)
            EXPECT_EQ(lab.log.end_reports(row), 1u) << "row " << row;
    }
};

} // namespace

TEST_F(UpgradeJob, EveryCameraIsUpgradedRebootsAndIsReadBack) {
    // The second camera comes back elsewhere (DHCP), the third announces nothing.
    JobLab lab(job_fleet(3, [](CameraConfig& c) {
        if (c.mac_address.back() == '2') {
            c.device.settings.dhcp = true;
            c.device.dhcp_address = "10.77.9.2";
        }
        if (c.mac_address.back() == '3') c.device.announce_after_reboot = false;
    }));
    run(lab);
    for (int row = 0; row < 3; ++row) {
        const auto codes = lab.log.statuses(row);
        EXPECT_TRUE(has(codes, ST_IS_UPGRADE) && has(codes, ST_WAIT_REBOOT) && has(codes, ST_UPGRADE_OK));
        EXPECT_FALSE(has(codes, ST_UPGRADE_FAIL));
        EXPECT_EQ(lab.devices.cell(static_cast<size_t>(row), COL_VERSION), "2.5.0") << "the version read back";
        const DeviceRecord record = lab.camera_of(row).device_record();
        EXPECT_EQ(record.reboots, 1u);
        ASSERT_FALSE(record.controls.empty());
        EXPECT_EQ(record.controls.back().command, OVIX_CTRL_LAMP) << "the white lamp blinks after the reconnect";
    }
    const int moved = lab.devices.find_mac(lab.fleet.camera_at(1).mac());
    EXPECT_EQ(lab.devices.cell(static_cast<size_t>(moved), COL_IP), "10.77.9.2") << "the same row, its new address";
    EXPECT_EQ(lab.devices.size(), 3u);
    EXPECT_EQ(lab.log.reports().back().kind, REPORT_JOB_STATE) << "the job ends after the last end report";
    EXPECT_EQ(lab.log.reports().rbegin()[1].kind, REPORT_DEVICE_DONE);
    EXPECT_EQ(lab.log.count(REPORT_PROGRESS, 100), 1u);
}

TEST_F(UpgradeJob, RefusedStartsAreReportedOnTheLastPassOnly) {
    // Camera 1 refuses the version on every pass, camera 2 calls the file invalid, camera 3
    // answers its status queries with failures on every pass.
    JobLab lab(job_fleet(3, [](CameraConfig& c) {
        const char n = c.mac_address.back();
        if (n == '1') c.device.faults.answers.push_back(answer("upgrade_start", OVIX_ERR_UPGRADE_VERSION));
        if (n == '2') c.device.faults.answers.push_back(answer("upgrade_start", OVIX_ERR_UPGRADE_INVALID));
        if (n == '3') c.device.faults.upgrade_fail_percent = 0;
    }));
    run(lab);
    const auto row_of = [&](int n) { return lab.devices.find_mac(lab.fleet.camera_at(static_cast<size_t>(n - 1)).mac()); };

    const auto version = lab.log.statuses(row_of(1));
    EXPECT_EQ(std::count(version.begin(), version.end(), ST_DISMATCH_UPGRADE_VERSION), 1);
    EXPECT_EQ(lab.camera_of(row_of(1)).device_record().logins_accepted, 10u) << "ten passes, one login each";

    const auto invalid = lab.log.statuses(row_of(2));
    EXPECT_TRUE(has(invalid, ST_INVALID_UPGRADE_FILE));
    EXPECT_EQ(lab.camera_of(row_of(2)).device_record().logins_accepted, 1u) << "an invalid file ends the retries";

    const auto failing = lab.log.statuses(row_of(3));
    EXPECT_EQ(std::count(failing.begin(), failing.end(), ST_UPGRADE_FAIL_RETRY_LATER), 10);
    EXPECT_TRUE(has(failing, ST_UPGRADE_FAIL)) << "no pass left: the upgrade column is marked failed";
    EXPECT_FALSE(has(failing, ST_UPGRADE_OK));
}

TEST_F(UpgradeJob, AFirmwareFileThatCannotBeReadIsInvalidAtOnce) {
    JobLab lab(job_fleet(1));
    ASSERT_TRUE(lab.start());
    JobLaunch launch = lab.launch(upgrade_only());
    launch.upgrade_file = "/nonexistent/fw.update";
    ASSERT_TRUE(lab.run(launch));
    EXPECT_TRUE(has(lab.log.statuses(0), ST_INVALID_UPGRADE_FILE)) << "not 'retry later'";
    EXPECT_EQ(lab.camera_of(0).device_record().logins_accepted, 1u) << "no further pass";
}

TEST_F(UpgradeJob, FamilyOneSkipsTheRebootWaits) {
    JobLab lab(job_fleet(1, [](CameraConfig& c) { c.device_type = 19; }));
    run(lab);
    EXPECT_TRUE(has(lab.log.statuses(0), ST_UPGRADE_OK));
    EXPECT_EQ(lab.devices.cell(0, COL_VERSION), "2.5.0");
}
