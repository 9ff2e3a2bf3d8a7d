#include "batch/NeighbourCache.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <map>

// Against a fake runner: nothing here touches the machine's real cache.
namespace {

using Calls = std::vector<std::string>;

// Answers from a script keyed by the arguments joined with "|" (anything else succeeds
// silently), and records every command in that form.
struct FakeRunner : CommandRunner {
    explicit FakeRunner(std::map<std::string, CommandResult> answers) : script(std::move(answers)) {}
    CommandResult run(const std::vector<std::string>& argv) override {
        std::string line;
        for (const std::string& a : argv) line += (line.empty() ? "" : "|") + a;
        calls.push_back(line);
        const auto it = script.find(line);
        return it == script.end() ? CommandResult{0, ""} : it->second;
    }
    std::map<std::string, CommandResult> script;
    Calls calls;
};
const std::string kLocation = "[NeighbourCache : SystemNeighbourCache::flush]";
const Calls kEveryInterface = {"ip|neigh|flush|all", "ip|neigh|show"};

TEST(SystemNeighbourCache, FlushesTheInterfaceOfTheAddressOrElseEveryInterfaceAndLogsWhatIsLeft) {
    struct Case { const char* address; Calls calls; };
    for (const Case& c : {Case{"127.0.0.1", {"ip|neigh|flush|dev|lo", "ip|neigh|show|dev|lo"}},
                          Case{"", kEveryInterface},
                          Case{"192.0.2.1", kEveryInterface},  // on no interface of this machine
                          Case{"not an address", kEveryInterface}}) {
        SCOPED_TRACE(c.address);
        FakeRunner runner({{c.calls[1], {0, "10.77.0.5 dev lab0 lladdr 02:00:00:00:00:05 PERMANENT\n"
                                            "10.77.0.6 dev lab0 lladdr 02:00:00:00:00:06 PERMANENT\n"}}});
        LogCapture log;
        EXPECT_TRUE(SystemNeighbourCache(runner).flush(c.address));
        EXPECT_EQ(runner.calls, c.calls);
        EXPECT_EQ(log.count("PERMANENT"), 2u);  // one line per entry
        EXPECT_FALSE(log.contains(kLocation));
    }
}

TEST(SystemNeighbourCache, RefusedOrStuckFlushIsLoggedAndReportedAsNotDone) {
    for (const CommandResult& refusal : {CommandResult{2, "RTNETLINK answers: Operation not permitted\n"},
                                         CommandResult{0, "Failed to send flush request: Operation not permitted\n"},
                                         CommandResult{kCommandTimedOut, ""},
                                         CommandResult{kCommandNotStarted, ""}}) {
        SCOPED_TRACE(refusal.exit_code);
        FakeRunner runner({{"ip|neigh|flush|all", refusal}});
        LogCapture log;
        EXPECT_FALSE(SystemNeighbourCache(runner).flush(""));
        EXPECT_EQ(log.count(kLocation), 1u);
        EXPECT_EQ(log.count("could not be cleared"), 1u);
        EXPECT_EQ(log.contains("Operation not permitted"), !refusal.output.empty());
        EXPECT_EQ(runner.calls, Calls{"ip|neigh|flush|all"});
    }
}

} // namespace
