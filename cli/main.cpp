// fleetset-cli: the headless front end of fleetset.
#include "cli/DiscoverCommand.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app{"fleetset-cli: look after many IP cameras on one LAN from the command line"};
    app.require_subcommand(1);
    int exit_code = 0;
    add_discover_command(app, exit_code);
    CLI11_PARSE(app, argc, argv);
    return exit_code;
}
