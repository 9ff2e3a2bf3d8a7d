#pragma once
#include "cli/EnglishTexts.h"
#include "cli/RunOptions.h"

#include <functional>

namespace CLI { class App; }

// What `run` does once its options have passed the checks (run_job in the program).
using RunJobFunction = std::function<int(const RunOptions&, const EnglishTexts&)>;

// Adds "run" to the program. Its callback checks the options (a refusal: the message on
// standard error and exit code 2, nothing sent) and then hands them to `job`, whose result
// becomes exit_code. `texts` must outlive the parse.
void add_run_command(CLI::App& app, int& exit_code, const EnglishTexts& texts, RunJobFunction job);
