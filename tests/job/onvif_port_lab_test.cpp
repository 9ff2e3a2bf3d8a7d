// A whole job through the ONVIF port on simulated cameras in the lab: new addresses, the
// clock and a firmware upgrade (uploaded, or attached to UpgradeSystemFirmware where the
// camera takes no upload), each verified on the camera, the upgrades that fail, and a step
// ONVIF cannot do.
#include "batch/OnvifPort.h"
#include "support/JobLab.h"
#include "support/OnvifFleet.h"
#include "support/TempFile.h"

#include <cstdio>

namespace {

using namespace support;

class OnvifJob : public OnvifFleetTest {};

TEST_F(OnvifJob, MovesSetsTheClockAndUpgradesEachVerifiedOnTheCamera) {
    Clock::set_speed(10);
    start(4, [](CameraConfig& c) {
        c.device.faults.upgrade_install_fails = c.mac_address.back() == '2';
        if (c.mac_address.back() == '3') c.board_type = 0x3518;  // the file is not for it: 415
        c.device.onvif.http_upload = c.mac_address.back() != '4';
    });
    const Firmware firmware({2, 5, 0}, 64 * 1024);
    DeviceTable devices;
    for (size_t n = 1; n <= 4; ++n) {
        DEV_INFO record{};
        std::snprintf(record.mac_address, sizeof record.mac_address, "%s", camera(n).current().mac_address.c_str());
        std::snprintf(record.ip_address, sizeof record.ip_address, "%s", camera(n).current().ip_address.c_str());
        devices.update_dev_find_list(record, true, "");
    }
    PlainInputs inputs;
    CountingNeighbours neighbours;
    ReportLog log;
    BatchJob job(devices, inputs, log.channel(), neighbours, [&](const WorkerContext& c, StepReporter& r) {
        const size_t n = static_cast<size_t>(c.row) + 1;
        return std::make_unique<OnvifPort>(devices, c, r, OnvifTarget{endpoint_from_mac(c.mac), xaddr(n), ""},
                                           std::make_unique<WsdCameraFinder>());
    });
    JobSteps steps;
    steps.change_auto_ip = steps.need_update = steps.change_time_sync = steps.change_logo = 1;
    JobLaunch launch{steps, {{0, "10.77.5.1"}, {1, "10.77.5.2"}, {2, "10.77.5.3"}, {3, "10.77.5.4"}}, firmware.path(), "Admin", "", ""};
    log.channel().open();
    ASSERT_EQ(job.start_job(launch), 4);
    ASSERT_TRUE(eventually([&] { return log.count(REPORT_JOB_STATE) == 2; }));
    log.channel().close();

    // Back on its old version, or a 415 for an image not meant for it: failed, never done.
    const StatusCode upgrade_marks[] = {ST_UPGRADE_OK, ST_DISMATCH_UPGRADE_VERSION, ST_INVALID_UPGRADE_FILE, ST_UPGRADE_OK};
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        const auto codes = log.statuses(row);
        EXPECT_TRUE(has(codes, ST_CHANGE_IP_OK) && has(codes, ST_TIME_SYNC_OK) && has(codes, ST_LOGO_UNSUPPORTED) && !has(codes, ST_LOGO_FAIL));
        EXPECT_TRUE(has(codes, upgrade_marks[row]) && has(codes, ST_UPGRADE_FAIL) == (row == 1 || row == 2) &&
                    has(codes, ST_UPGRADE_OK) == (row == 0 || row == 3));
        const CameraConfig now = camera(static_cast<size_t>(row) + 1).current();
        EXPECT_EQ(now.ip_address, "10.77.5." + std::to_string(row + 1));
        EXPECT_EQ(now.software_ver, row == 0 || row == 3 ? "2.5.0" : "2.4.1");
    }
    EXPECT_EQ(devices.cell(0, COL_IP) + " " + devices.cell(0, COL_VERSION), "10.77.5.1 2.5.0");
    EXPECT_EQ(devices.cell(3, COL_VERSION), "2.5.0") << "read back after the attachment's reboot";
}

} // namespace
