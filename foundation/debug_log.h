#pragma once
#include <functional>
#include <string_view>

// The diagnostic log: one formatted line per call, no levels or time stamps.
// Text arguments are UTF-8. The caller puts its own "\n" at the end.
int debug_log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The location line that precedes every failure message:
// "[<source file> : <qualified function>] <line> entered\n".
#define DEBUG_LOCATION(file, function) debug_log("[%s : %s] %d entered\n", (file), (function), __LINE__)

// Where formatted lines go. Without a sink of its own the log stands for a debugger's output,
// which nobody sees unless they listen: lines are dropped unless the log is on, and then each
// goes to standard error in one write. The log is on when the environment holds
// OVIX_DEBUG_LOG (any value but empty or "0"; read at the first line) or after
// set_debug_log_enabled(true) (a program's --debug-log).
// Tests install their own sink to capture what was logged; pass an empty function to restore the default.
using DebugLogSink = std::function<void(std::string_view line)>;
void set_debug_log_sink(DebugLogSink sink);
void set_debug_log_enabled(bool on);
