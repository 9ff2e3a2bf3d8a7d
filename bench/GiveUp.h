#pragma once
// How a benchmark ends when it cannot measure what it claims: one line on standard error that
// says why, and exit code 1, so that neither a reader nor CI takes silence for a result.
#include <cstdarg>
#include <cstdio>

namespace bench {

[[gnu::format(printf, 2, 3)]] inline int give_up(const char* program, const char* format, ...) {
    std::fprintf(stderr, "%s: gave up: ", program);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    return 1;
}

} // namespace bench
