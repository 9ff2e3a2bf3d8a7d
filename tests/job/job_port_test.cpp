// The engine's passes, retries, reports and marks against a fake device port (no network),
// and what the SDK port makes of results and settings.
#include "batch/BatchJob.h"
#include "batch/OwnProtocolPort.h"
#include "support/FakePort.h"
#include "support/JobLab.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace support;

namespace {

using Upgrade = PortScript::Upgrade;

struct PortJob {
    explicit PortJob(std::vector<PortScript> devices_script, int32_t device_type = 1)
        : scripts(std::move(devices_script)) {
        Clock::set_speed(200);
        for (size_t n = 0; n < scripts.size(); ++n) {
            DEV_INFO record{};
            std::snprintf(record.mac_address, sizeof record.mac_address, "00:11:22:33:44:%02d", static_cast<int>(n % 64));
            std::snprintf(record.software_ver, sizeof record.software_ver, "1.0.0");
            record.device_type = device_type;
            devices.update_dev_find_list(record, true, "");
        }
    }
    ~PortJob() {
        log.channel().close();
        job.stop();
        Clock::set_speed(1.0);
    }
    bool run(const JobSteps& steps) {
        JobLaunch launch{steps, {}, firmware.path(), "Admin", "", ""};
        for (int row = 0; row < static_cast<int>(scripts.size()); ++row) launch.devices.push_back({row, ""});
        log.channel().open();
        if (job.start_job(launch) != static_cast<int>(scripts.size())) return false;
        return eventually([&] { return log.count(REPORT_JOB_STATE) == 2; });
    }
    FakePort& port(int row) { return *ports.at(row); }

    Firmware firmware{{2, 5, 0}, 64};
    std::vector<PortScript> scripts;
    DeviceTable devices;
    PlainInputs inputs;
    CountingNeighbours neighbours;
    ReportLog log;
    std::mutex mutex;
    std::map<int, FakePort*> ports;
    BatchJob job{devices, inputs, log.channel(), neighbours, [this](const WorkerContext& c, StepReporter& r) {
                     auto port = std::make_unique<FakePort>(c, r, devices, scripts.at(static_cast<size_t>(c.row)));
                     std::lock_guard<std::mutex> lock(mutex);
                     ports[c.row] = port.get();
                     return port;
                 }};
};

PortScript busy(const char* step, int times) {
    PortScript script;
    script.answers[step].assign(static_cast<size_t>(times), StepOutcome::Busy);
    return script;
}

} // namespace

TEST(JobOnAPort, ABusyStepRepeatsThePassAndResendsTheSameSettings) {
    PortJob lab({busy("command", 1), busy("settings", 1)});
    lab.inputs.drift = true;  // every fill would give another time zone
    JobSteps steps;
    steps.change_logo = steps.send_command = steps.change_time_zone = 1;
    ASSERT_TRUE(lab.run(steps));
    const std::vector<std::string> again = {"login", "logo", "command", "login", "logo", "command", "settings"};
    EXPECT_EQ(lab.port(0).calls(), again) << "a new login, and the earlier step runs again";
    const auto sent = lab.port(1).settings_sent();
    ASSERT_EQ(sent.size(), 2u);
    const auto first = settings_record(sent[0]), second = settings_record(sent[1]);
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0) << "the first pass's record, not filled anew";
    for (int row : {0, 1}) {
        EXPECT_TRUE(has(lab.log.statuses(row), ST_SETTING_OK) && has(lab.log.statuses(row), ST_COMMAND_OK));
        EXPECT_EQ(lab.log.end_reports(row), 1u);
    }
}

// A device that never gets through is marked failed on the tenth pass only, with the reason
// last; a refused login is not tried again.
TEST(JobOnAPort, BusyOrUnreachableToTheLastPassAndRefusedLogins) {
    PortScript unreachable, wrong_user, limit, later;
    unreachable.reachable = false;
    wrong_user.refusal = LoginRefusal::WrongUser, limit.refusal = LoginRefusal::UserLimit;
    later.refusal = LoginRefusal::RefusedNow;
    PortJob lab({busy("command", 100), unreachable, wrong_user, limit, later});
    JobSteps steps;
    steps.send_command = 1;
    ASSERT_TRUE(lab.run(steps));
    EXPECT_EQ(lab.port(0).count("login"), 10) << "ten passes";
    EXPECT_TRUE(has(lab.log.statuses(0), ST_COMMAND_FAIL)) << "marked, not left without a mark";
    const auto unreached = lab.log.statuses(1);
    EXPECT_EQ(std::count(unreached.begin(), unreached.end(), ST_COMMAND_SKIP), 10) << "marked after every pass";
    EXPECT_EQ(std::count(unreached.begin(), std::find(unreached.begin(), unreached.end(), ST_LOGIN_FAIL),
                         ST_COMMAND_SKIP), 9) << "reported on the tenth pass only";
    EXPECT_EQ(unreached.end()[-2], ST_COMMAND_FAIL);
    EXPECT_EQ(unreached.back(), ST_LOGIN_FAIL) << "the row's message says why";
    const StatusCode why[] = {ST_USER_NAME_NOT_EXIST, ST_LOGIN_MAX_USER, ST_UPGRADE_FAIL_RETRY_LATER};
    for (int row = 2; row < 5; ++row) {
        const auto codes = lab.log.statuses(row);
        EXPECT_EQ(lab.port(row).calls(), std::vector<std::string>{"login"}) << "row " << row;
        EXPECT_EQ(has(codes, ST_COMMAND_SKIP), row == 2) << "only an unknown user marks the steps";
        EXPECT_EQ(codes.end()[-2], ST_COMMAND_FAIL) << "the requested command was never sent";
        EXPECT_EQ(codes.back(), why[row - 2]) << "the message says why";
    }
}

TEST(JobOnAPort, UpgradeVerdictsAndProgress) {
    PortScript other_version, never, hopeless;
    other_version.version_after = "2.4.9";
    never.upgrade = Upgrade::NeverCompletes;
    hopeless.upgrade = Upgrade::Hopeless;
    PortJob lab({PortScript{}, other_version, never, hopeless});
    JobSteps steps;
    steps.need_update = 1;
    ASSERT_TRUE(lab.run(steps));
    EXPECT_TRUE(has(lab.log.statuses(0), ST_UPGRADE_OK));
    EXPECT_FALSE(has(lab.log.statuses(0), ST_UPGRADE_FAIL));
    EXPECT_TRUE(has(lab.log.statuses(1), ST_DISMATCH_UPGRADE_VERSION)) << "back on another version";
    EXPECT_EQ(lab.port(2).count("upgrade"), 10) << "tried again on every pass";
    EXPECT_EQ(lab.port(3).count("upgrade"), 1) << "no pass after a hopeless start";
    for (int row = 1; row < 4; ++row) {
        EXPECT_FALSE(has(lab.log.statuses(row), ST_UPGRADE_OK)) << "row " << row;
        EXPECT_TRUE(has(lab.log.statuses(row), ST_UPGRADE_FAIL)) << "row " << row;
    }
    EXPECT_EQ(lab.log.count(REPORT_DONE_COUNT, pack_report(2, 4)), 1u) << "two devices came back";
}

TEST(JobOnAPort, FamilyOneGetsNoLogoAndItsOwnVideoStandard) {
    for (int32_t type : {1, 200}) {
        PortJob lab({PortScript{}}, type);
        lab.inputs.video_standard = 1;
        lab.inputs.password = "s3cret";
        JobSteps steps;
        steps.change_logo = steps.change_video_standard = steps.change_password = steps.change_time_zone = 1;
        ASSERT_TRUE(lab.run(steps));
        const bool family1 = type == 200;
        EXPECT_EQ(lab.port(0).count("logo"), family1 ? 0 : 1);
        EXPECT_EQ(has(lab.log.statuses(0), ST_LOGO_SKIP), family1);
        ASSERT_EQ(lab.port(0).settings_sent().size(), 1u);
        const DeviceSettings sent = lab.port(0).settings_sent()[0];
        EXPECT_EQ(sent.video_standard, family1 ? 5 : 2);
        EXPECT_EQ(sent.password.has_value(), !family1);
    }
}

// Each field of the settings record at its place, from the step flag and its input.
TEST(SettingsRecord, EachStepSetsItsFieldAndApplyWord) {
    struct Row {
        uint8_t JobSteps::*flag;
        size_t apply, value;
        int32_t expected;
    } rows[] = {
        {&JobSteps::change_time_zone, 0, 4, 43200}, {&JobSteps::change_time_format, 8, 12, 3},
        {&JobSteps::change_language, 16, 20, 20}, {&JobSteps::change_video_standard, 24, 28, 2},
        {&JobSteps::change_max_wifi_ch, 92, 96, 13}, {&JobSteps::change_deafult_ch, 100, 104, 0},
        {&JobSteps::change_dhcp, 108, 112, 1}, {&JobSteps::change_password, 32, 36, 0x70707070},
    };
    PlainInputs inputs;
    inputs.time_zone = 24, inputs.time_format = 3, inputs.language = 20, inputs.video_standard = 1;
    inputs.max_channel = "13", inputs.default_channel = "Auto", inputs.dhcp = true, inputs.password = std::string(40, 'p');
    for (const Row& row : rows) {
        JobSteps steps;
        steps.*row.flag = 1;
        DeviceSettings settings;
        fill_settings(settings, steps, inputs, false);
        const ::customer_cfg cfg = settings_record(settings);
        const auto* bytes = reinterpret_cast<const uint8_t*>(&cfg);
        int32_t apply = 0, value = 0;
        std::memcpy(&apply, bytes + row.apply, 4);
        std::memcpy(&value, bytes + row.value, 4);
        EXPECT_EQ(apply, 1) << "apply word at " << row.apply;
        EXPECT_EQ(value, row.expected) << "field at " << row.value;
        EXPECT_EQ(bytes[36 + 31], 0) << "a long password is cut to its field";
        const size_t width = row.flag == &JobSteps::change_password ? 31 : 4;
        size_t other = 0;
        for (size_t i = 0; i < sizeof cfg; ++i)
            other += bytes[i] != 0 && (i < row.apply || i >= row.apply + 4) && (i < row.value || i >= row.value + width);
        EXPECT_EQ(other, 0u) << "only its own field, at " << row.value;
    }
}

TEST(OwnProtocolResults, WhichRefuseALoginAndWhichAskForTheStepAgain) {
    EXPECT_EQ(login_refusal(OVIX_ERR_USER_UNKNOWN), LoginRefusal::WrongUser);
    EXPECT_EQ(login_refusal(OVIX_ERR_PASSWORD), LoginRefusal::WrongUser);
    EXPECT_EQ(login_refusal(OVIX_ERR_USER_LIMIT), LoginRefusal::UserLimit);
    EXPECT_EQ(login_refusal(OVIX_ERR_REFUSED_NOW), LoginRefusal::RefusedNow);
    EXPECT_EQ(login_refusal(OVIX_ERR_TIMEOUT), LoginRefusal::None) << "an unreachable device is tried again";
    EXPECT_EQ(outcome_of(OVIX_ERR_BUSY), StepOutcome::Busy);
}
