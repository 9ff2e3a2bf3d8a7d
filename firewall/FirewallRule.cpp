#include "firewall/FirewallRule.h"

#include "foundation/debug_log.h"

#include <fstream>
#include <string_view>

namespace {

constexpr const char* kSource = "FirewallRule";
constexpr const char* kFunction = "ensure_firewall_rule";
constexpr const char* kPortSpec = "12000/udp";

enum class Manager { inactive, active, unreadable };

std::string_view trim(std::string_view s) {
    size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

template <typename Visit>
bool any_line(std::string_view text, Visit visit) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        if (visit(trim(text.substr(pos, end - pos)))) return true;
        pos = end + 1;
    }
    return false;
}

int fail(const FirewallMessageSink& report, const char* message, const std::vector<std::string>& argv,
         const CommandResult& result) {
    DEBUG_LOCATION(kSource, kFunction);
    debug_log("%s\n", message);
    std::string command;
    for (const std::string& arg : argv) command += (command.empty() ? "" : " ") + arg;
    debug_log("%s: exit %d: %s\n", command.c_str(), result.exit_code, std::string(trim(result.output)).c_str());
    if (report) report(message);
    return 0;
}

bool ufw_enabled_in(const std::string& config_path) {
    std::ifstream in(config_path);
    std::string line;
    while (std::getline(in, line)) {
        std::string_view l = trim(line);
        if (l == "ENABLED=yes" || l == "ENABLED=\"yes\"") return true;
    }
    return false;
}

int ensure_with_firewalld(CommandRunner& runner, const FirewallMessageSink& report) {
    const std::vector<std::string> state = {"firewall-cmd", "--state"};
    CommandResult r = runner.run(state);
    if (r.exit_code == kCommandTimedOut) return fail(report, kFirewallReadFailed, state, r);
    if (r.exit_code != 0 || trim(r.output) != "running") return 1;  // missing or not running

    const std::vector<std::string> query = {"firewall-cmd", std::string("--query-port=") + kPortSpec};
    r = runner.run(query);
    if (r.exit_code == 0) return 1;                        // "yes"
    if (r.exit_code != 1) return fail(report, kFirewallReadFailed, query, r);  // 1 is "no"

    // Runtime for now, permanent for the next start of the firewall.
    for (const std::vector<std::string>& add :
         {std::vector<std::string>{"firewall-cmd", std::string("--add-port=") + kPortSpec},
          std::vector<std::string>{"firewall-cmd", "--permanent", std::string("--add-port=") + kPortSpec}}) {
        r = runner.run(add);
        if (r.exit_code != 0) return fail(report, kFirewallAddFailed, add, r);
    }
    return 1;
}

int ensure_with_ufw(CommandRunner& runner, const FirewallMessageSink& report, const std::string& ufw_config_path) {
    const std::vector<std::string> status = {"ufw", "status"};
    CommandResult r = runner.run(status);
    if (r.exit_code == kCommandNotStarted) return 1;
    if (r.exit_code == kCommandTimedOut) return fail(report, kFirewallReadFailed, status, r);
    if (r.exit_code != 0) {
        // Only root may ask ufw; its configuration file tells the rest whether it filters.
        if (!ufw_enabled_in(ufw_config_path)) return 1;
        return fail(report, kFirewallReadFailed, status, r);
    }
    if (!any_line(r.output, [](std::string_view l) { return l == "Status: active"; })) return 1;

    // A rule line ends with "# <comment>"; the comment carries the rule's name.
    bool present = any_line(r.output, [](std::string_view l) {
        size_t hash = l.find("# ");
        return hash != std::string_view::npos && trim(l.substr(hash + 2)) == kFirewallRuleName;
    });
    if (present) return 1;

    const std::vector<std::string> add = {"ufw", "allow", kPortSpec, "comment", kFirewallRuleName};
    r = runner.run(add);
    if (r.exit_code != 0) return fail(report, kFirewallAddFailed, add, r);
    return 1;
}

} // namespace

int ensure_firewall_rule(CommandRunner& runner, const FirewallMessageSink& report,
                         const std::string& ufw_config_path) {
    if (ensure_with_firewalld(runner, report) == 0) return 0;
    return ensure_with_ufw(runner, report, ufw_config_path);
}

int ensure_firewall_rule(const FirewallMessageSink& report) {
    SpawnCommandRunner runner(3000);
    return ensure_firewall_rule(runner, report);
}
