#pragma once
#include "foundation/CommandRunner.h"

#include <functional>
#include <string>

// The firewall rule that lets cameras reach the program's discovery receive port. The batch
// window makes sure of it each time it opens; the result only decides whether a message is
// shown, never whether the window opens.

inline constexpr const char* kFirewallRuleName = "upgrade rule";
inline constexpr const char* kFirewallRuleDescription = "Allow program upgrade port access";
inline constexpr int kFirewallRuleProtocol = 17;  // UDP
inline constexpr const char* kFirewallRulePort = "12000";

inline constexpr const char* kFirewallReadFailed = "Failed to retrieve firewall rule set!";
inline constexpr const char* kFirewallAddFailed = "Failed to add firewall rules!";

inline constexpr const char* kUfwConfigPath = "/etc/ufw/ufw.conf";

// Receives the failure message, at most one per call (the window shows it in a box).
using FirewallMessageSink = std::function<void(const std::string& message)>;

// Linux: for each active firewall manager in turn, firewalld and then ufw, allow inbound
// UDP 12000 unless it is allowed already.
// - firewalld is active when "firewall-cmd --state" says "running"; the port is allowed
//   when "--query-port=12000/udp" says so, else it is added at runtime and permanently.
// - ufw is active when "ufw status" says "Status: active"; the rule is found by its name,
//   the comment "upgrade rule", whatever its other properties, else it is added with
//   "ufw allow 12000/udp comment 'upgrade rule'". An ordinary user may not read ufw's
//   status: then ufw counts as active when its configuration file enables it, and the
//   rule set as unreadable.
// A manager whose tool is missing counts as not active; a tool that runs past the
// runner's time limit counts as a failure. Returns 1 when the port is allowed or no
// manager is active, 0 after a failure, which is logged and sent to `report`.
int ensure_firewall_rule(CommandRunner& runner, const FirewallMessageSink& report,
                         const std::string& ufw_config_path = kUfwConfigPath);

// The same with the real tools under a time limit of 3 s each.
int ensure_firewall_rule(const FirewallMessageSink& report = {});

// Windows (not built here): the same entry point, implemented with the firewall's COM
// interfaces INetFwPolicy2 / INetFwRules / INetFwRule. It looks the rule up by its exact
// name, leaves an existing rule unchanged, and otherwise adds one with the name,
// description, protocol and local port above, enabled, action allow; its messages are
// "CoInitializeEx failed!", "Failed to create firewall policy instance!",
// kFirewallReadFailed and kFirewallAddFailed. It would live in FirewallRuleWin.cpp behind
// the platform check of the build.
