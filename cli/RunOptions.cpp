#include "cli/RunOptions.h"

#include "cli/LoginOptions.h"

#include <CLI/CLI.hpp>

#include <map>
#include <utility>

namespace {

// Which job step each step flag asks for.
const std::pair<const char*, uint8_t JobSteps::*> kStepFlags[] = {
    {"--upgrade", &JobSteps::need_update},
    {"--ip-range", &JobSteps::change_auto_ip},
    {"--set-ip", &JobSteps::change_ip},
    {"--dhcp", &JobSteps::change_dhcp},
    {"--logo", &JobSteps::change_logo},
    {"--command", &JobSteps::send_command},
    {"--sync-time", &JobSteps::change_time_sync},
    {"--time-zone", &JobSteps::change_time_zone},
    {"--time-format", &JobSteps::change_time_format},
    {"--video-standard", &JobSteps::change_video_standard},
    {"--language", &JobSteps::change_language},
    {"--device-password", &JobSteps::change_password},
    {"--wifi-max-channel", &JobSteps::change_max_wifi_ch},
    {"--wifi-default-channel", &JobSteps::change_deafult_ch},
    {"--uid", &JobSteps::change_UID},
    {"--factory-reset", &JobSteps::restore_factory_settings},
    {"--reset-password", &JobSteps::reset_pwd},
};

// The settings record carries the device password in 32 bytes.
std::string at_most_31(const std::string& text) {
    return text.size() > 31 ? std::string("at most 31 characters") : std::string();
}

void add_steps(CLI::App& cmd, RunOptions& o) {
    auto* steps = "Steps (any combination; they run in the engine's fixed order)";
    cmd.add_option("--upgrade", o.upgrade_file, "Upgrade the firmware with this *.update file")->group(steps);
    auto* range = cmd.add_option("--ip-range", o.ip_range, "Give each device an address from FIRST-LAST (same first three parts)")
                      ->group(steps);
    auto* fixed = cmd.add_option("--set-ip", o.fixed_ip, "Give the device this address (one device only)")
                      ->check(CLI::ValidIPV4)->group(steps)->excludes(range);
    cmd.add_option("--mask", o.subnet_mask, "Subnet mask with --set-ip (default: the camera keeps its own)")
        ->check(CLI::ValidIPV4)->needs(fixed)->group(steps);
    cmd.add_option("--gateway", o.gateway, "Gateway with --set-ip (default: the camera keeps its own)")
        ->check(CLI::ValidIPV4)->needs(fixed)->group(steps);
    cmd.add_option("--dhcp", o.dhcp, "Switch DHCP on or off")->check(CLI::IsMember({"on", "off"}))->excludes(fixed)->group(steps);
    cmd.add_option("--logo", o.logo_file, "Upload this logo picture (*.jpg)")->check(CLI::ExistingFile)->group(steps);
    cmd.add_option("--command", o.command, "Run this shell command on the device")->group(steps);
    cmd.add_flag("--sync-time", o.sync_time, "Set the device clock to this computer's local time")->group(steps);
    cmd.add_option("--time-zone", o.time_zone_hours, "Time zone in whole hours east of UTC, -12 to 12")
        ->check(CLI::Range(-12, 12))->group(steps);
    cmd.add_option("--time-format", o.time_format, "Time format 0 to 3 (0 YYYY-MM-DD, 1 MM-DD-YYYY, 2 DD-MM-YYYY, 3 YYYY/MM/DD)")
        ->check(CLI::Range(0, 3))->group(steps);
    cmd.add_option("--video-standard", o.video_standard, "Video standard: ntsc or pal")
        ->transform(CLI::CheckedTransformer(std::map<std::string, int>{{"ntsc", 0}, {"pal", 1}}, CLI::ignore_case)
                        .description(""))
        ->type_name("ntsc|pal")->group(steps);
    cmd.add_option("--language", o.language, "Device menu language: 0 to 20, or its English name such as English")->group(steps);
    cmd.add_option("--device-password", o.device_password, "Set the device's default password")->check(at_most_31)->group(steps);
    cmd.add_option("--wifi-max-channel", o.wifi_max_channel, "Highest Wi-Fi channel, 10 to 14")->check(CLI::Range(10, 14))->group(steps);
    cmd.add_option("--wifi-default-channel", o.wifi_default_channel, "Default Wi-Fi channel, 1 to 14 or auto")
        ->transform(CLI::Transformer(std::map<std::string, std::string>{{"auto", "0"}}, CLI::ignore_case).description(""))
        ->check(CLI::Range(0, 14).description(""))->type_name("1-14|auto")->group(steps);
    cmd.add_option("--uid", o.uid, "Write this cloud UID to the device")->group(steps);
    cmd.add_option("--factory-reset", o.factory_reset_kind,
                   "Restore the factory settings; hard also forgets the network settings (ONVIF cameras only)")
        ->expected(0, 1)->default_str("soft")->check(CLI::IsMember({"soft", "hard"}).description(""))->type_name("[soft|hard]")->group(steps);
    cmd.add_flag("--reset-password", o.reset_password, "Reset the device password")->group(steps);
}

void add_login(CLI::App& cmd, RunOptions& o) {
    add_login_options(cmd, o.user, o.password_file);
}

void add_devices(CLI::App& cmd, RunOptions& o) {
    auto* devices = "Devices";
    cmd.add_option("--seconds", o.seconds, "How long to search for devices before the job starts")
        ->check(CLI::Range(0.0, 3600.0))->capture_default_str()->group(devices);
    cmd.add_option("--interface", o.interface_address, "Local IPv4 address to search from (default: every local address)")
        ->check(CLI::ValidIPV4)->group(devices);
    auto* all = cmd.add_flag("--all", o.all, "Every device found")->group(devices);
    cmd.add_option("--mac", o.macs, "The devices with these MAC addresses (comma separated)")
        ->delimiter(',')->excludes(all)->group(devices);
    cmd.add_option("--ip", o.ips, "The devices with these addresses (comma separated)")
        ->delimiter(',')->check(CLI::ValidIPV4)->excludes(all)->group(devices);
    cmd.add_flag("--only-outdated", o.only_outdated, "With --upgrade: leave out devices that already run the file's version")
        ->type_name("VERSION")->needs(cmd.get_option("--upgrade"))->group(devices);
    cmd.add_option("--parallel", o.parallel, "Devices worked on at once")
        ->check(CLI::Range(1, 100))->capture_default_str()->group(devices);
    const std::map<std::string, JobProtocol> protocols = {
        {"auto", JobProtocol::automatic}, {"own", JobProtocol::own}, {"onvif", JobProtocol::onvif}};
    cmd.add_option("--protocol", o.protocol,
                   "How to reach the cameras: own (our protocol only), onvif (ONVIF only, also for cameras that "
                   "speak both), auto (ours where a camera has it, else ONVIF; the default)")
        ->transform(CLI::CheckedTransformer(protocols, CLI::ignore_case).description(""))->type_name("own|onvif|auto")
        ->group(devices);
    add_probe_range_option(cmd, o.probe_range, devices);
    cmd.add_option("--expect-version", o.expect_version,
                   "With --upgrade: the version an ONVIF camera must report after its reboot, for a firmware file "
                   "without our version header")
        ->type_name("VERSION")->needs(cmd.get_option("--upgrade"))->group(devices);
}

void add_output(CLI::App& cmd, RunOptions& o) {
    auto* output = "Report";
    const std::map<std::string, ReportFormat> formats = {
        {"table", ReportFormat::Table}, {"json", ReportFormat::Json}, {"csv", ReportFormat::Csv}};
    cmd.add_option("--format", o.format, "Report format: table, json or csv")
        ->transform(CLI::CheckedTransformer(formats, CLI::ignore_case).description(""))->type_name("table|json|csv")
        ->group(output);
    cmd.add_option("--report-file", o.report_file,
                   "Write the report to this file instead of standard output (a summary line stays on standard error)")
        ->group(output);
    cmd.add_option("--summary-file", o.summary_file,
                   "Also write the counts, exit code, start and end of the job to this file as one JSON object")
        ->group(output);
    auto* history = cmd.add_option("--history", o.history_file,
                                   "Job history database (default $XDG_DATA_HOME/fleetset/history.sqlite)")->group(output);
    cmd.add_flag("--no-history", o.no_history, "Keep this job out of the job history")->excludes(history)->group(output);
}

void add_orchestration(CLI::App& cmd, RunOptions& o) {
    auto* group = "Orchestration";
    cmd.add_flag("--dry-run", o.dry_run,
                 "Search, choose and check, then print the plan instead of running it: nothing is sent to any device")
        ->group(group);
    cmd.add_option("--retry-failed", o.retry_failed,
                   "Only the devices this earlier JSON report marked failed or left without an end report")
        ->check(CLI::ExistingFile)
        ->excludes(cmd.get_option("--all"))->excludes(cmd.get_option("--mac"))->excludes(cmd.get_option("--ip"))
        ->group(group);
}

} // namespace

void add_run_options(CLI::App& cmd, RunOptions& options) {
    add_steps(cmd, options);
    add_login(cmd, options);
    add_devices(cmd, options);
    add_output(cmd, options);
    add_orchestration(cmd, options);
}

std::vector<std::string> step_flag_names(const JobSteps& steps) {
    std::vector<std::string> names;
    for (const auto& [flag, step] : kStepFlags)
        if (steps.*step) names.emplace_back(flag + 2);
    return names;
}

void note_given_steps(const CLI::App& cmd, RunOptions& options) {
    options.steps = JobSteps{};
    for (const auto& [flag, step] : kStepFlags)
        if (cmd.count(flag) > 0) options.steps.*step = 1;
}
