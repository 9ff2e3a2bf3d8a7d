#pragma once

namespace CLI { class App; }

// Parses the arguments, which runs the chosen command's callback. Returns the program's
// exit code: the command's own (exit_code), 0 after --help, 2 for arguments it refuses.
int run_command_line(CLI::App& app, int argc, const char* const* argv, const int& exit_code);
