// `fleetset-cli run` up to the job: what it refuses (exit code 2 and the window's text,
// nothing sent) and what it hands the job once the options pass.
#include "batch/LaunchPlan.h"
#include "cli/CommandLine.h"
#include "cli/JobPlan.h"
#include "cli/OptionStepInputs.h"
#include "cli/RunCommand.h"
#include "support/TempFile.h"

#include <CLI/CLI.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

using ::testing::HasSubstr;
using support::TempDir;

namespace {

// The run command with a recorder in place of the job.
struct RunCli {
    EnglishTexts texts{FLEETSET_SOURCE_DIR "/app/lang/lumora_en.ini"};
    std::optional<RunOptions> job;
    std::string error;

    int operator()(const std::vector<std::string>& args) {
        CLI::App app;
        int exit_code = 0;
        add_run_command(app, exit_code, texts, [this](const RunOptions& options, const EnglishTexts&) {
            job = options;
            return 7;
        });
        std::vector<const char*> argv{"fleetset-cli", "run"};
        for (const std::string& a : args) argv.push_back(a.c_str());
        testing::internal::CaptureStderr();
        const int code = run_command_line(app, static_cast<int>(argv.size()), argv.data(), exit_code);
        error = testing::internal::GetCapturedStderr();
        return code;
    }
};

} // namespace

TEST(RunChecks, RefusalsExitWith2BeforeTheJobWithTheReason) {
    TempDir dir;
    const std::string headerless = dir.write("short.update", "not a firmware file");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--all", "--sync-time", "--user", ""}, "--user: Please enter the user name."},
        {{"--all", "--ip-range", "0.0.0.0-10.77.1.300"}, "Invalid IP address."},
        {{"--all", "--ip-range", "10.0.0.1-10.0.1.5"}, "must be in the same subnet"},
        {{"--all", "--ip-range", "127.0.0.1-127.0.0.9"}, "The address range must hold addresses a camera can use"},
        {{"--all", "--upgrade", "a.updat"}, "\"a.updat\": Invalid firmware file"},
        {{"--all", "--upgrade", dir.path() + "/missing.update"}, "Invalid firmware file (no such file)"},
        {{"--all", "--upgrade", headerless}, "Invalid firmware file (no readable version header): give --expect-version"},
        {{"--all", "--upgrade", headerless, "--protocol", "own"}, "Invalid firmware file (no readable version header)"},
        {{"--all", "--sync-time", "--protocol", "own", "--probe-range", "10.1.0.1-10.1.0.9"}, "leave out --protocol own"},
        {{"--all", "--factory-reset", "medium"}, "--factory-reset: medium not in {soft,hard}"},
        {{"--all", "--sync-time", "--password", "secret"}, "--password: not taken on the command line"},
        {{"--all", "--language", "Klingon"}, "expected 0 to 20 or a language name"},
        {{"--all", "--sync-time", "--command", "reboot"}, "runs only as the job's one step"},
        {{"--all"}, "no step given"},
        {{"--sync-time"}, "no devices named"},
    };
    for (const auto& [args, reason] : cases) {
        RunCli run;
        EXPECT_EQ(run(args), 2) << reason;
        EXPECT_THAT(run.error, HasSubstr(reason));
        EXPECT_FALSE(run.job) << reason;
    }
}

TEST(RunChecks, TheJobGetsTheResolvedOptionsAndSetsTheExitCode) {
    TempDir dir;
    RunCli run;
    ::setenv("FLEETSET_PASSWORD", "from-environment", 1);
    EXPECT_EQ(run({"--mac", "00:1a:2b:00:00:01,00:1A:2B:00:00:02", "--ip-range", "10.77.1.20-10.77.1.10", "--language",
                   "english", "--time-zone", "-5", "--wifi-default-channel", "auto", "--password-file",
                   dir.write("password", "s3cret\n")}),
              7);
    ASSERT_TRUE(run.job) << run.error;
    const RunOptions& o = *run.job;
    EXPECT_EQ(std::tuple(o.range.prefix, o.range.first, o.range.last), std::tuple("10.77.1", 10, 20));  // turned round
    EXPECT_EQ(o.language_index, 2);
    EXPECT_EQ(o.password, "s3cret");  // the file wins over the environment, without its line break
    EXPECT_EQ(o.macs.size(), 2u);
    EXPECT_TRUE(o.steps.change_auto_ip && o.steps.change_language && o.steps.change_time_zone && o.steps.change_deafult_ch);
    EXPECT_FALSE(o.steps.need_update || o.steps.change_ip || o.steps.send_command || o.steps.change_time_format);
    const OptionStepInputs inputs(o);
    EXPECT_EQ(inputs.time_zone_index(), 7);
    EXPECT_EQ(inputs.default_wifi_channel(), "0");

    RunCli plain;
    EXPECT_EQ(plain({"--all", "--video-standard", "PAL", "--factory-reset"}), 7);
    ASSERT_TRUE(plain.job);
    EXPECT_EQ(plain.job->password, "from-environment");
    EXPECT_EQ(OptionStepInputs(*plain.job).video_standard_index(), 1);
    EXPECT_TRUE(plain.job->steps.restore_factory_settings && !OptionStepInputs(*plain.job).factory_reset_hard());
    ::unsetenv("FLEETSET_PASSWORD");

    // Another maker's image goes to ONVIF cameras with the version they must come back on.
    RunCli onvif;
    EXPECT_EQ(onvif({"--all", "--upgrade", dir.write("vendor.update", "another maker's image"), "--expect-version",
                     "5.7.3", "--protocol", "onvif", "--factory-reset", "hard"}),
              7) << onvif.error;
    ASSERT_TRUE(onvif.job);
    EXPECT_EQ(onvif.job->protocol, JobProtocol::onvif);
    EXPECT_TRUE(OptionStepInputs(*onvif.job).factory_reset_hard());
}

TEST(JobPlan, AnAddressChangeGoesInRoundsWithFreeAddressesInListOrder) {
    const EnglishTexts texts{FLEETSET_SOURCE_DIR "/app/lang/lumora_en.ini"};
    std::vector<DeviceRow> listed(5);
    listed[3].ip = "10.77.5.2";  // a listed address is never handed out
    RunOptions options;
    options.parallel = 2;
    const std::vector<int> rows{0, 1, 2, 3, 4};

    const JobPlan queue = plan_jobs(options, rows, listed, texts);
    EXPECT_EQ(queue.batches.size(), 5u);  // one device a job, two at once
    EXPECT_EQ(queue.max_alive, 2);

    options.steps.change_auto_ip = 1;
    options.ip_range = "10.77.5.1-10.77.5.6";
    ASSERT_EQ(parse_address_range(options.ip_range, options.range), LaunchRefusal::None);
    const JobPlan rounds = plan_jobs(options, rows, listed, texts);
    ASSERT_EQ(rounds.batches.size(), 3u);
    EXPECT_EQ(rounds.max_alive, 1);
    EXPECT_EQ(rounds.batches[1][0].row, 2);
    EXPECT_EQ(rounds.batches[1][0].new_ip, "10.77.5.4");
    EXPECT_EQ(rounds.batches[2][0].new_ip, "10.77.5.6");

    options.ip_range = "10.77.5.1-10.77.5.3";
    ASSERT_EQ(parse_address_range(options.ip_range, options.range), LaunchRefusal::None);
    EXPECT_THAT(plan_jobs(options, rows, listed, texts).refusal, HasSubstr("2 free addresses for 5 devices"));
    options.ip_range = "10.77.5.2";
    ASSERT_EQ(parse_address_range(options.ip_range, options.range), LaunchRefusal::None);
    EXPECT_THAT(plan_jobs(options, rows, listed, texts).refusal, HasSubstr("already used by a listed device"));
    options.steps = JobSteps{};
    options.steps.change_ip = 1;
    EXPECT_THAT(plan_jobs(options, {0, 1}, listed, texts).refusal, HasSubstr("name exactly one device"));
    // The window's address rules (their table is the engine's): here with the command line's texts.
    options.fixed_ip = "10.77.5.2";
    EXPECT_THAT(plan_jobs(options, {0}, listed, texts).refusal, HasSubstr("Another camera in the list already has"));
    options.fixed_ip = "10.77.5.9", options.subnet_mask = "255.255.255.0", options.gateway = "10.77.6.1";
    EXPECT_THAT(plan_jobs(options, {0}, listed, texts).refusal, HasSubstr("not in the subnet"));
}
