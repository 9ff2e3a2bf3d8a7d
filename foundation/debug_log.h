#pragma once
#include <functional>
#include <string_view>

// The diagnostic log: one formatted line per call, no levels or time stamps.
// Text arguments are UTF-8. The caller puts its own "\n" at the end.
int debug_log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The location line that precedes every failure message:
// "[<source file> : <qualified function>] <line> entered\n".
#define DEBUG_LOCATION(file, function) debug_log("[%s : %s] %d entered\n", (file), (function), __LINE__)

// Where formatted lines go. The default writes each line to standard error in one write.
// Tests install their own sink to capture what was logged; pass an empty function to restore the default.
using DebugLogSink = std::function<void(std::string_view line)>;
void set_debug_log_sink(DebugLogSink sink);
