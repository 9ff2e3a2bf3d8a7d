// fleetset-cli: the headless front end of fleetset.
#include "cli/CommandLine.h"
#include "cli/DiscoverCommand.h"
#include "cli/EnglishTexts.h"
#include "cli/HistoryCommand.h"
#include "cli/RunCommand.h"
#include "cli/RunJob.h"
#include "foundation/LangTable.h"
#include "foundation/debug_log.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app{"fleetset-cli: look after many IP cameras on one LAN from the command line"};
    app.set_version_flag("--version", "fleetset-cli " FLEETSET_VERSION);
    app.require_subcommand(1);
    bool debug_log_on = false;
    app.add_flag("--debug-log", debug_log_on, "Write the diagnostic log to standard error");
    app.parse_complete_callback([&debug_log_on] {
        // The diagnostic log is for developers (quiet unless asked); a user's terminal gets
        // only the results.
        if (debug_log_on) set_debug_log_enabled(true);
    });
    int exit_code = 0;
    // Beside the program in the build tree, in the data directory when installed.
    const EnglishTexts texts(find_data_file(EnglishTexts::kFileName));
    add_discover_command(app, exit_code);
    add_run_command(app, exit_code, texts, run_job);
    add_history_command(app, exit_code);
    return run_command_line(app, argc, argv, exit_code);
}
