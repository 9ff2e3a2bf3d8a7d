#include "firewall/FirewallRule.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>

namespace {

// Answers from a script, keyed by the arguments joined with "|"; a command not in the script
// behaves like a missing program.
class FakeRunner : public CommandRunner {
public:
    explicit FakeRunner(std::map<std::string, CommandResult> script) : m_script(std::move(script)) {}
    CommandResult run(const std::vector<std::string>& argv) override {
        std::string line;
        for (const std::string& a : argv) line += (line.empty() ? "" : "|") + a;
        if (line.find("--add-port") != std::string::npos || line.rfind("ufw|allow", 0) == 0) changes.push_back(line);
        auto it = m_script.find(line);
        return it == m_script.end() ? CommandResult{kCommandNotStarted, ""} : it->second;
    }
    std::vector<std::string> changes;  // the commands that would change the firewall

private:
    std::map<std::string, CommandResult> m_script;
};

const std::string kFwState = "firewall-cmd|--state", kFwQuery = "firewall-cmd|--query-port=12000/udp";
const std::string kFwAdd = "firewall-cmd|--add-port=12000/udp";
const std::string kFwAddPermanent = "firewall-cmd|--permanent|--add-port=12000/udp";
const std::string kUfwStatus = "ufw|status", kUfwAdd = "ufw|allow|12000/udp|comment|upgrade rule";

const CommandResult kOk{0, "success\n"}, kRefused{11, "Authorization failed.\n"}, kTimedOut{kCommandTimedOut, ""};
const CommandResult kFwRunning{0, "running\n"}, kPortNo{1, "no\n"};
const CommandResult kNotRoot{1, "ERROR: You need to be root to run this script\n"};
const std::string kUfwActive = "Status: active\n\nTo                         Action      From\n"
                               "--                         ------      ----\n"
                               "12001/udp                  ALLOW       Anywhere          # upgrade rule 2\n";
// Found by its name although it is a TCP rule on another port.
const std::string kUfwRuleLine = "8080/tcp (v6)              DENY        Anywhere (v6)     # upgrade rule\n";

struct Scenario {
    const char* name;
    std::map<std::string, CommandResult> script;
    const char* ufw_config;  // contents of ufw's configuration file; nullptr: none
    int result;
    const char* message;     // nullptr: none reported
    std::vector<std::string> changes;
};
void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class FirewallDecision : public testing::TestWithParam<Scenario> {};

TEST_P(FirewallDecision, EnsuresThePortWithTheActiveManager) {
    const Scenario& s = GetParam();
    std::string config = testing::TempDir() + "fleetset-ufw-" + s.name;
    if (s.ufw_config) std::ofstream(config) << s.ufw_config;
    FakeRunner runner(s.script);
    std::vector<std::string> messages;
    LogCapture log;
    int result = ensure_firewall_rule(runner, [&](const std::string& m) { messages.push_back(m); },
                                      s.ufw_config ? config : "/nonexistent/ufw.conf");
    std::remove(config.c_str());

    EXPECT_EQ(result, s.result);
    EXPECT_EQ(runner.changes, s.changes);
    EXPECT_EQ(messages, s.message ? std::vector<std::string>{s.message} : std::vector<std::string>{});
    EXPECT_EQ(log.contains("[FirewallRule : ensure_firewall_rule]"), s.message != nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, FirewallDecision, testing::Values(
    Scenario{"no_tool_installed", {}, nullptr, 1, nullptr, {}},
    Scenario{"tools_inactive", {{kFwState, {252, "not running\n"}}, {kUfwStatus, {0, "Status: inactive\n"}}},
             nullptr, 1, nullptr, {}},
    Scenario{"firewalld_port_added_now_and_permanently",
             {{kFwState, kFwRunning}, {kFwQuery, kPortNo}, {kFwAdd, kOk}, {kFwAddPermanent, kOk}},
             nullptr, 1, nullptr, {kFwAdd, kFwAddPermanent}},
    Scenario{"firewalld_port_present", {{kFwState, kFwRunning}, {kFwQuery, {0, "yes\n"}}}, nullptr, 1, nullptr, {}},
    Scenario{"firewalld_query_refused", {{kFwState, kFwRunning}, {kFwQuery, kRefused}},
             nullptr, 0, kFirewallReadFailed, {}},
    Scenario{"firewalld_permanent_add_refused",
             {{kFwState, kFwRunning}, {kFwQuery, kPortNo}, {kFwAdd, kOk}, {kFwAddPermanent, kRefused}},
             nullptr, 0, kFirewallAddFailed, {kFwAdd, kFwAddPermanent}},
    Scenario{"firewalld_state_times_out", {{kFwState, kTimedOut}}, nullptr, 0, kFirewallReadFailed, {}},
    Scenario{"firewalld_add_times_out", {{kFwState, kFwRunning}, {kFwQuery, kPortNo}, {kFwAdd, kTimedOut}},
             nullptr, 0, kFirewallAddFailed, {kFwAdd}},
    Scenario{"ufw_rule_found_by_name", {{kUfwStatus, {0, kUfwActive + kUfwRuleLine}}}, nullptr, 1, nullptr, {}},
    Scenario{"ufw_rule_added", {{kUfwStatus, {0, kUfwActive}}, {kUfwAdd, kOk}}, nullptr, 1, nullptr, {kUfwAdd}},
    Scenario{"ufw_add_refused", {{kUfwStatus, {0, kUfwActive}}, {kUfwAdd, kNotRoot}},
             nullptr, 0, kFirewallAddFailed, {kUfwAdd}},
    Scenario{"ufw_status_times_out", {{kUfwStatus, kTimedOut}}, nullptr, 0, kFirewallReadFailed, {}},
    Scenario{"ufw_unreadable_enabled", {{kUfwStatus, kNotRoot}}, "# x\nENABLED=yes\n", 0, kFirewallReadFailed, {}},
    Scenario{"ufw_unreadable_disabled", {{kUfwStatus, kNotRoot}}, "ENABLED=no\n", 1, nullptr, {}},
    Scenario{"both_active_both_served",
             {{kFwState, kFwRunning}, {kFwQuery, kPortNo}, {kFwAdd, kOk}, {kFwAddPermanent, kOk},
              {kUfwStatus, {0, kUfwActive}}, {kUfwAdd, kOk}},
             nullptr, 1, nullptr, {kFwAdd, kFwAddPermanent, kUfwAdd}},
    Scenario{"firewalld_failure_reported_alone",
             {{kFwState, kFwRunning}, {kFwQuery, kPortNo}, {kFwAdd, kRefused}, {kUfwStatus, {0, kUfwActive}}},
             nullptr, 0, kFirewallAddFailed, {kFwAdd}}),
    [](const testing::TestParamInfo<Scenario>& p) { return std::string(p.param.name); });

TEST(FirewallRule, WithoutAReceiverTheFailureIsLoggedWithTheToolsWords) {
    FakeRunner runner({{kUfwStatus, {0, kUfwActive}}, {kUfwAdd, kNotRoot}});
    LogCapture log;
    EXPECT_EQ(ensure_firewall_rule(runner, {}), 0);
    EXPECT_TRUE(log.contains(kFirewallAddFailed));
    EXPECT_TRUE(log.contains("You need to be root"));
}

} // namespace
