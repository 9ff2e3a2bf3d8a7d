#include "foundation/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace {

constexpr size_t kLogBufferSize = 20480;

std::mutex& sink_mutex() {
    static std::mutex m;
    return m;
}

DebugLogSink& custom_sink() {
    static DebugLogSink sink;
    return sink;
}

// Guarded by sink_mutex(); unset until the first line or an explicit choice.
std::optional<bool>& stderr_enabled() {
    static std::optional<bool> enabled;
    return enabled;
}

bool enabled_by_environment() {
    const char* value = std::getenv("OVIX_DEBUG_LOG");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

// Caller holds sink_mutex().
bool anyone_listens() {
    if (custom_sink()) return true;
    if (!stderr_enabled()) stderr_enabled() = enabled_by_environment();
    return *stderr_enabled();
}

void write_stderr(std::string_view line) {
    // One write per line keeps lines from different threads whole.
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, left);
        if (n <= 0) return;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

} // namespace

int debug_log(const char* format, ...) {
    {
        // Callers log freely (the codec logs every field); unheard lines cost no formatting.
        std::lock_guard<std::mutex> lock(sink_mutex());
        if (!anyone_listens()) return 0;
    }
    char buffer[kLogBufferSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return 0;
    size_t len = static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1;
    std::string_view line(buffer, len);

    std::lock_guard<std::mutex> lock(sink_mutex());
    if (custom_sink())
        custom_sink()(line);
    else if (anyone_listens())
        write_stderr(line);
    return 0;
}

void set_debug_log_sink(DebugLogSink sink) {
    std::lock_guard<std::mutex> lock(sink_mutex());
    custom_sink() = std::move(sink);
}

void set_debug_log_enabled(bool on) {
    std::lock_guard<std::mutex> lock(sink_mutex());
    stderr_enabled() = on;
}
