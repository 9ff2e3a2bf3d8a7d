#include "cli/StopSignal.h"

#include <atomic>

namespace {

std::atomic<int> g_stop_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler may only touch a lock-free atomic");

void on_stop_signal(int number) { g_stop_signal.store(number, std::memory_order_relaxed); }

} // namespace

StopSignal::StopSignal() {
    g_stop_signal = 0;
    struct sigaction action{};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    // The second signal takes the default action; calls interrupted by the first go on.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, &m_old_int);
    sigaction(SIGTERM, &action, &m_old_term);
}

StopSignal::~StopSignal() {
    sigaction(SIGINT, &m_old_int, nullptr);
    sigaction(SIGTERM, &m_old_term, nullptr);
}

bool StopSignal::requested() const { return g_stop_signal.load(std::memory_order_relaxed) != 0; }

void StopSignal::request() { g_stop_signal.store(SIGTERM, std::memory_order_relaxed); }
