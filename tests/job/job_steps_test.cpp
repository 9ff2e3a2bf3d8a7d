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
    lab.inputs.time_zone = 24, lab.inputs.video_standard = 1, lab.inputs.password = "s3cret";
    lab.inputs.default_channel = "Auto", lab.inputs.command = "echo hello", lab.inputs.uid = std::string(110, 'u');
    JobSteps steps;
    steps.change_time_zone = steps.change_video_standard = steps.change_password = 1;
    steps.change_deafult_ch = steps.change_time_sync = steps.send_command = steps.change_UID = 1;
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(lab.run(lab.launch(steps)));

    for (int row = 0; row < 2; ++row) {
        const bool family1 = lab.devices.is_type1(static_cast<size_t>(row));
        const DeviceRecord record = lab.camera_of(row).device_record();
        ASSERT_EQ(record.settings_records.size(), 1u);
        // Field by field in the fake port's tests; here that the record reaches the camera whole.
        const auto& cfg = record.settings_records.front();
        EXPECT_EQ(word_at(cfg, 4), 43200) << "index 24 is UTC+12";
        EXPECT_EQ(word_at(cfg, 28), family1 ? 5 : 2);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(cfg.data() + 36)), family1 ? "" : "s3cret");

        ASSERT_EQ(record.clock_writes.size(), 1u);
        const std::vector<uint8_t> clock(record.clock_writes.front().begin(), record.clock_writes.front().end());
        EXPECT_EQ(word_at(clock, 36), family1 ? 5 : 1) << "the device's own word otherwise";
        std::tm local{};
        localtime_r(&before, &local);
        EXPECT_EQ((std::pair{word_at(clock, 48), word_at(clock, 52)}), (std::pair{local.tm_year + 1900, local.tm_mon + 1}));

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
