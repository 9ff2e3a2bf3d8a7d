#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Runs an external program and collects what it printed. An interface so that callers can
// be tested against a fake instead of the machine's real tools.

struct CommandResult {
    int exit_code = 0;   // the program's exit status; 128 + signal when a signal ended it
    std::string output;  // standard output and standard error together
};

// exit_code values that no program returns.
inline constexpr int kCommandNotStarted = -1;  // not found or could not be started
inline constexpr int kCommandTimedOut = -2;    // killed at the time limit

class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // argv[0] is the program; no shell is involved.
    virtual CommandResult run(const std::vector<std::string>& argv) = 0;
};

// Starts the program with posix_spawn, standard input from /dev/null and the C locale, so
// that its messages are not translated. A program named without "/" is looked for on PATH
// and then in the sbin directories, where administration tools live but which an ordinary
// user's PATH often lacks. The time limit is real time (the program runs outside this
// process's clock): at the limit the program and its process group are killed.
class SpawnCommandRunner : public CommandRunner {
public:
    explicit SpawnCommandRunner(int64_t time_limit_ms = 3000) : m_time_limit_ms(time_limit_ms) {}
    CommandResult run(const std::vector<std::string>& argv) override;

private:
    int64_t m_time_limit_ms;
};
