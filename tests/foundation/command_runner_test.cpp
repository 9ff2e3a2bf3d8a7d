#include "foundation/CommandRunner.h"

#include <gtest/gtest.h>

#include <csignal>

// The real runner, against harmless local programs only.
namespace {

TEST(SpawnCommandRunner, RunsWithoutAShellInTheCLocaleAndCollectsBothStreams) {
    SpawnCommandRunner runner(20000);
    CommandResult r = runner.run({"sh", "-c", "printf '%s|' \"$1\" \"$LC_ALL:$LANG\"; cat; echo err >&2; exit 3",
                                  "sh", "upgrade rule; $HOME"});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.output, "upgrade rule; $HOME|C:|err\n");  // cat read an empty input
    EXPECT_EQ(runner.run({"sh", "-c", "kill -KILL $$"}).exit_code, 128 + SIGKILL);
}

TEST(SpawnCommandRunner, MissingProgramIsNotStarted) {
    SpawnCommandRunner runner(20000);
    EXPECT_EQ(runner.run({"fleetset-no-such-program"}).exit_code, kCommandNotStarted);
    EXPECT_EQ(runner.run({"/nonexistent/ufw", "status"}).exit_code, kCommandNotStarted);
}

TEST(SpawnCommandRunner, ProgramPastTheLimitIsKilled) {
    SpawnCommandRunner runner(100);
    EXPECT_EQ(runner.run({"sh", "-c", "trap '' TERM INT HUP; sleep 60"}).exit_code, kCommandTimedOut);
}

TEST(SpawnCommandRunner, HelperLeftRunningDoesNotHoldTheCaller) {
    // The program ends at once, but a helper keeps the output pipe open past the limit.
    SpawnCommandRunner runner(3000);
    CommandResult r = runner.run({"sh", "-c", "sleep 60 & echo $$"});
    EXPECT_EQ(r.exit_code, 0);
    pid_t group = static_cast<pid_t>(std::atol(r.output.c_str()));
    if (group > 1) ::kill(-group, SIGKILL);  // the helper, in the program's own process group
}

} // namespace
