#include "cli/RunCommand.h"

#include "cli/RunChecks.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

void add_run_command(CLI::App& app, int& exit_code, const EnglishTexts& texts, RunJobFunction job) {
    auto options = std::make_shared<RunOptions>();
    auto* cmd = app.add_subcommand("run", "Run one job on many cameras: upgrade, addresses, settings, commands");
    cmd->footer(
        "Devices are searched for first (--seconds), then chosen with --all, --mac or --ip. Without an address change\n"
        "up to --parallel devices are worked on at once, the next starting as soon as one ends; with --ip-range or\n"
        "--set-ip they go in rounds of --parallel. The login password comes from --password-file or FLEETSET_PASSWORD.\n"
        "Ctrl-C stops the job; every started device still makes its end report and the report is written.\n"
        "Exit code: 0 every device ended with no failed step, 1 otherwise, 2 options refused (nothing sent).");
    add_run_options(*cmd, *options);
    cmd->callback([cmd, options, &exit_code, &texts, job = std::move(job)] {
        note_given_steps(*cmd, *options);
        const std::string refusal = check_run_options(*options, texts);
        if (!refusal.empty()) {
            std::fprintf(stderr, "fleetset-cli run: %s\n", refusal.c_str());
            exit_code = 2;
            return;
        }
        exit_code = job(*options, texts);
    });
}
