#include "cli/RunCommand.h"

#include "cli/RetrySelection.h"
#include "cli/RunChecks.h"
#include "cli/RunSummary.h"
#include "history/JobHistory.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

namespace {

// A run that ends before the job: the summary still tells an orchestrator why.
int end_early(const RunOptions& options, int exit_code) {
    if (options.summary_file.empty()) return exit_code;
    RunSummary summary;
    summary.dry_run = options.dry_run;
    summary.started = summary.ended = history_time_now();
    summary.exit_code = exit_code;
    if (write_file_atomically(options.summary_file, summary_json(summary))) return exit_code;
    std::fprintf(stderr, "fleetset-cli run: cannot write the summary to %s\n", options.summary_file.c_str());
    return exit_code == 0 ? 1 : exit_code;
}

// --retry-failed names the devices; false when the run ends here (exit_code set).
bool resolve_retry(RunOptions& options, int& exit_code) {
    if (options.retry_failed.empty()) return true;
    std::string error;
    if (!retry_macs_from_file(options.retry_failed, options.macs, error)) {
        std::fprintf(stderr, "fleetset-cli run: --retry-failed \"%s\": %s\n", options.retry_failed.c_str(), error.c_str());
        exit_code = end_early(options, 2);
        return false;
    }
    if (!options.macs.empty()) return true;
    std::fprintf(stderr, "fleetset-cli run: --retry-failed: every device of the report succeeded; nothing to do\n");
    exit_code = end_early(options, 0);
    return false;
}

} // namespace

void add_run_command(CLI::App& app, int& exit_code, const EnglishTexts& texts, RunJobFunction job) {
    auto options = std::make_shared<RunOptions>();
    auto* cmd = app.add_subcommand("run", "Run one job on many cameras: upgrade, addresses, settings, commands");
    cmd->footer(
        "Devices are searched for first (--seconds), then chosen with --all, --mac or --ip. Without an address change\n"
        "up to --parallel devices are worked on at once, the next starting as soon as one ends; with --ip-range or\n"
        "--set-ip they go in rounds of --parallel. The login password comes from --password-file or FLEETSET_PASSWORD.\n"
        "Ctrl-C stops the job; every started device still makes its end report and the report is written.\n"
        "--dry-run prints the plan and sends nothing; --retry-failed REPORT.json works on the devices that report left\n"
        "failed or unfinished. Every job is appended to the job history (see `fleetset-cli history`).\n"
        "Exit code: 0 every device ended with no failed step, 1 otherwise, 2 options refused (nothing sent).");
    add_run_options(*cmd, *options);
    cmd->callback([cmd, options, &exit_code, &texts, job = std::move(job)] {
        note_given_steps(*cmd, *options);
        if (!resolve_retry(*options, exit_code)) return;
        const std::string refusal = check_run_options(*options, texts);
        if (!refusal.empty()) {
            std::fprintf(stderr, "fleetset-cli run: %s\n", refusal.c_str());
            exit_code = end_early(*options, 2);
            return;
        }
        exit_code = job(*options, texts);
    });
}
