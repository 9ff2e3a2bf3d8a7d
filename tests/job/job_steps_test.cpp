// The steps after the login, checked against what each simulated camera received.
#include "support/JobLab.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

using namespace support;

namespace {

int32_t word_at(const std::vector<uint8_t>& bytes, size_t offset) {
    int32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

} // namespace

TEST(JobSteps, SettingsRecordClockCommandAndUidForBothFamilies) {
    // Camera 2 is of family 1: fixed video standard and clock byte, no password or channels.
    JobLab lab(job_fleet(2, [](CameraConfig& c) {
        if (c.mac_address.back() == '2') c.device_type = 200;
    }));
    ASSERT_TRUE(lab.start());
    lab.inputs.time_zone = 24;
    lab.inputs.video_standard = 1;
    lab.inputs.password = "s3cret";
    lab.inputs.default_channel = "Auto";
    lab.inputs.command = "echo hello";
    lab.inputs.uid = std::string(110, 'u');
    JobSteps steps;
    steps.change_time_zone = steps.change_video_standard = steps.change_password = 1;
    steps.change_deafult_ch = steps.change_time_sync = steps.send_command = steps.change_UID = 1;
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(lab.run(lab.launch(steps)));

    for (int row = 0; row < 2; ++row) {
        const bool family1 = lab.devices.is_type1(static_cast<size_t>(row));
        const DeviceRecord record = lab.camera_of(row).device_record();
        ASSERT_EQ(record.settings_records.size(), 1u);
        const auto& cfg = record.settings_records.front();
        EXPECT_EQ(word_at(cfg, 0), 1);
        EXPECT_EQ(word_at(cfg, 4), 43200) << "index 24 is UTC+12";
        EXPECT_EQ(word_at(cfg, 24), 1);
        EXPECT_EQ(word_at(cfg, 28), family1 ? 5 : 2);
        EXPECT_EQ(word_at(cfg, 32), family1 ? 0 : 1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(cfg.data() + 36)), family1 ? "" : "s3cret");
        EXPECT_EQ(word_at(cfg, 100), family1 ? 0 : 1) << "the automatic channel is applied as 0";
        EXPECT_EQ(word_at(cfg, 104), 0);
        EXPECT_TRUE(std::all_of(cfg.begin() + 116, cfg.end(), [](uint8_t b) { return b == 0; }));

        ASSERT_EQ(record.clock_writes.size(), 1u);
        const auto& clock = record.clock_writes.front();
        EXPECT_EQ(word_at({clock.begin(), clock.end()}, 36), family1 ? 5 : 1) << "the device's own word otherwise";
        std::tm local{};
        localtime_r(&before, &local);
        EXPECT_EQ(word_at({clock.begin(), clock.end()}, 48), local.tm_year + 1900);
        EXPECT_EQ(word_at({clock.begin(), clock.end()}, 52), local.tm_mon + 1);

        ASSERT_EQ(record.shell_commands.size(), 2u);
        EXPECT_EQ(record.shell_commands[0], "echo hello");
        EXPECT_EQ(record.shell_commands[1].size(), 127u) << "a long UID is cut with the command's end";
        EXPECT_EQ(record.shell_commands[1].rfind("echo uuu", 0), 0u);

        const auto codes = lab.log.statuses(row);
        for (uint32_t code : {ST_SETTING_OK, ST_TIME_SYNC_OK, ST_COMMAND_OK, ST_UPGRADE_SKIP, ST_LOGO_SKIP,
                              ST_CHANGE_IP_SKIP})
            EXPECT_TRUE(has(codes, code)) << "row " << row << " code " << code;
    }
}

TEST(JobSteps, LogoChunksAndARefusedChunkStillFinishes) {
    const size_t sizes[] = {2500, 1024, 0, 3000};
    JobLab lab(job_fleet(4, [](CameraConfig& c) {
        if (c.mac_address.back() == '4') c.device.faults.answers.push_back(answer("set_config", 1, 2, 1, OVIX_CMD_LOGO_DATA));
    }));
    ASSERT_TRUE(lab.start());
    // Each camera gets its own file size: the row's camera picks the file through the MAC.
    JobSteps steps;
    steps.change_logo = 1;
    for (size_t n = 0; n < 4; ++n) {
        TempFile logo(std::string(sizes[n], 'L'));
        lab.inputs.logo = logo.path();
        JobLaunch launch = lab.launch(steps);
        launch.devices = {{lab.devices.find_mac(lab.fleet.camera_at(n).mac()), ""}};
        ASSERT_TRUE(lab.run(launch));
        const DeviceRecord::Logo got = lab.fleet.camera_at(n).device_record().logo;
        EXPECT_EQ(got.announced, static_cast<int32_t>(sizes[n]));
        EXPECT_TRUE(got.finished) << "the finish goes out after a refused chunk too";
        // The camera refuses to finish an incomplete picture: its answer decides.
        EXPECT_TRUE(has(lab.log.statuses(launch.devices[0].row), n == 3 ? ST_LOGO_FAIL : ST_LOGO_OK));
        const std::vector<uint32_t> expected[] = {{1024, 1024, 452}, {1024}, {}, {1024}};
        EXPECT_EQ(got.chunks, expected[n]) << "file of " << sizes[n] << " bytes";
    }
}

TEST(JobSteps, ABusyStepRepeatsThePassAndResendsTheSameSettings) {
    // Camera 1 is busy on its first command, camera 2 on its first settings record.
    JobLab lab(job_fleet(2, [](CameraConfig& c) {
        const int32_t command = c.mac_address.back() == '1' ? OVIX_CMD_SHELL : OVIX_CMD_CUSTOMER_CFG;
        c.device.faults.answers.push_back(answer("set_config", OVIX_ERR_BUSY, 1, 1, command));
    }));
    ASSERT_TRUE(lab.start());
    TempFile logo(std::string(100, 'L'));
    lab.inputs.logo = logo.path();
    lab.inputs.command = "true";
    lab.inputs.time_zone = 0;
    lab.inputs.drift = true;  // every fill would give another time zone
    JobSteps steps;
    steps.change_logo = steps.send_command = steps.change_time_zone = 1;
    // One camera at a time, so that the reads of the time zone are this camera's alone.
    for (size_t n : {1, 0}) {
        JobLaunch launch = lab.launch(steps);
        launch.devices = {{lab.devices.find_mac(lab.fleet.camera_at(n).mac()), ""}};
        ASSERT_TRUE(lab.run(launch));
        if (n == 1) {
            EXPECT_EQ(lab.inputs.time_zone_reads, 1) << "no second fill on the resumed pass";
        }
    }

    const auto requests = [](const DeviceRecord& record, int32_t command) {
        return std::count_if(record.commands.begin(), record.commands.end(),
                             [&](const DeviceRecord::Request& r) { return r.command == command; });
    };
    const DeviceRecord busy_command = lab.fleet.camera_at(0).device_record();
    EXPECT_EQ(busy_command.logins_accepted, 2u) << "a new login for the repeated pass";
    EXPECT_EQ(busy_command.logo_uploads, 2u) << "the earlier step runs again";
    EXPECT_EQ(requests(busy_command, OVIX_CMD_SHELL), 2);

    const DeviceRecord busy_settings = lab.fleet.camera_at(1).device_record();
    EXPECT_EQ(busy_settings.logins_accepted, 2u);
    EXPECT_EQ(requests(busy_settings, OVIX_CMD_CUSTOMER_CFG), 2);
    ASSERT_EQ(busy_settings.settings_records.size(), 1u) << "the camera keeps the record it applied";
    EXPECT_EQ(word_at(busy_settings.settings_records[0], 4), -43200) << "the first pass's record, not filled anew";
}

TEST(JobSteps, RefusedLoginsEndTheWorkerAfterOneAttempt) {
    const int32_t refusals[] = {OVIX_ERR_USER_UNKNOWN, OVIX_ERR_PASSWORD, OVIX_ERR_USER_LIMIT, OVIX_ERR_REFUSED_NOW};
    const StatusCode expected[] = {ST_USER_NAME_NOT_EXIST, ST_USER_NAME_NOT_EXIST, ST_LOGIN_MAX_USER,
                                   ST_UPGRADE_FAIL_RETRY_LATER};
    JobLab lab(job_fleet(4, [&](CameraConfig& c) {
        c.device.faults.answers.push_back(answer("login", refusals[c.mac_address.back() - '1'], 1, 100));
    }));
    ASSERT_TRUE(lab.start());
    JobSteps steps;
    steps.send_command = 1;
    ASSERT_TRUE(lab.run(lab.launch(steps)));
    for (size_t n = 0; n < 4; ++n) {
        const int row = lab.devices.find_mac(lab.fleet.camera_at(n).mac());
        const auto codes = lab.log.statuses(row);
        EXPECT_TRUE(has(codes, expected[n])) << "refusal " << refusals[n];
        EXPECT_EQ(has(codes, ST_COMMAND_SKIP), n < 2) << "only an unknown user marks the steps";
        EXPECT_TRUE(has(codes, ST_COMMAND_FAIL)) << "the requested command was never sent";
        EXPECT_EQ(codes.back(), expected[n]) << "the message says why";
        EXPECT_EQ(lab.fleet.camera_at(n).device_record().logins_refused, 1u);
        EXPECT_EQ(lab.log.end_reports(row), 1u);
    }
}

TEST(JobSteps, FactoryAndPasswordResetsReachTheDevice) {
    JobLab lab(job_fleet(1));
    ASSERT_TRUE(lab.start());
    JobSteps steps;
    steps.restore_factory_settings = steps.reset_pwd = 1;
    ASSERT_TRUE(lab.run(lab.launch(steps)));
    const DeviceRecord record = lab.camera_of(0).device_record();
    EXPECT_EQ(record.factory_resets, 1u);
    EXPECT_EQ(record.password_resets, 1u);
    const auto codes = lab.log.statuses(0);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), ST_COMMAND_OK), 2);
}
