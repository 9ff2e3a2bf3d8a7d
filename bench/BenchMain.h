#pragma once
// What the Google Benchmark programs share: their own flags (--short, for CI) taken out before
// the library reads the rest, and an exit code that says when a case gave up. The library
// itself exits 0 after a case skipped with an error, which would let a broken run pass.
#include "GiveUp.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace bench {

// Removes `flag` from the arguments; true when it was there.
inline bool take_flag(int& argc, char** argv, const char* flag) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], flag) != 0) continue;
        for (int j = i; j < argc; ++j) argv[j] = argv[j + 1];
        --argc;
        return true;
    }
    return false;
}

// The first reason a case gave up with. Cases run one at a time on the main thread.
inline std::string& first_failure() {
    static std::string reason;
    return reason;
}

// Ends the case with the reason in its results; the program then exits with it. The caller
// leaves its loop right after.
inline void fail(benchmark::State& state, const std::string& reason) {
    state.SkipWithError(reason.c_str());
    if (first_failure().empty()) first_failure() = reason;
}

// Runs the registered cases: 0 when every one measured, else the reason on standard error and 1.
inline int run_benchmarks(const char* program, int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    const size_t ran = benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!first_failure().empty()) return give_up(program, "%s", first_failure().c_str());
    if (ran == 0) return give_up(program, "no case matched the filter");
    return 0;
}

} // namespace bench
