#pragma once
#include "batch/JobSteps.h"
#include "batch/PortChoice.h"
#include "batch/LaunchPlan.h"
#include "cli/TextTable.h"

#include <string>
#include <vector>

namespace CLI { class App; }


// Everything `fleetset-cli run` is told. The flags fill the first part; the checks before
// a launch (check_run_options) fill the resolved part.
struct RunOptions {
    // Steps, each given or not (see steps).
    std::string upgrade_file;
    std::string ip_range;          // FIRST-LAST, or one address
    std::string fixed_ip;
    std::string subnet_mask;       // empty: the camera keeps its own
    std::string gateway;           // empty: the camera keeps its own
    std::string dhcp;              // "on" or "off"
    std::string logo_file;
    std::string command;
    bool sync_time = false;
    int time_zone_hours = 0;       // -12..12
    int time_format = 0;           // 0..3
    int video_standard = 0;        // 0 NTSC, 1 PAL
    std::string language;          // an index 0..20 or an entry's English text
    std::string device_password;
    int wifi_max_channel = 14;
    int wifi_default_channel = 0;  // 0: automatic
    std::string uid;
    std::string factory_reset_kind = "soft";  // "hard": ONVIF's reset that forgets the network too
    bool reset_password = false;

    // Login; the password never comes from a flag.
    std::string user = "Admin";
    std::string password_file;

    // Devices.
    double seconds = 3;
    std::string interface_address;  // empty: every local address
    bool all = false;
    std::vector<std::string> macs;
    std::vector<std::string> ips;
    bool only_outdated = false;
    int parallel = 100;
    JobProtocol protocol = JobProtocol::automatic;
    std::string probe_range;       // unicast ONVIF probes, FIRST-LAST
    std::string expect_version;    // what an ONVIF camera's upgrade must end on, for a file without our header

    // Output.
    ReportFormat format = ReportFormat::Table;
    std::string report_file;       // the report goes here instead of standard output
    std::string summary_file;      // counts and exit code as one JSON object, for orchestrators

    // Orchestration.
    bool dry_run = false;          // plan only: nothing is sent to any device
    std::string retry_failed;      // a previous JSON report: its failed and unfinished devices
    std::string history_file;      // empty: default_history_path()
    bool no_history = false;

    // Resolved by the flags' presence and by the checks.
    JobSteps steps;
    AddressRange range;             // with steps.change_auto_ip
    int language_index = 0;
    std::string password;
    bool address_change() const { return steps.change_auto_ip || steps.change_ip; }
};

// Declares the flags of `run` on its subcommand.
void add_run_options(CLI::App& cmd, RunOptions& options);

// The step flags that options.steps asks for, without their dashes, in the order of --help.
std::vector<std::string> step_flag_names(const JobSteps& steps);

// Sets options.steps from the step flags that were given on `cmd` (after parsing).
void note_given_steps(const CLI::App& cmd, RunOptions& options);
