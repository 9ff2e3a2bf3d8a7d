#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>

int run_command_line(CLI::App& app, int argc, const char* const* argv, const int& exit_code) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // CLI11's own codes would mix with the commands' 1; every refusal is 2.
        return app.exit(e) == 0 ? 0 : 2;
    }
    return exit_code;
}
