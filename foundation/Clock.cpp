#include "foundation/Clock.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

std::atomic<double>& speed_value() {
    static std::atomic<double> value = [] {
        const char* env = std::getenv("FLEETSET_TIME_SPEED");
        double v = env ? std::atof(env) : 1.0;
        return v > 0 ? v : 1.0;
    }();
    return value;
}

std::function<void(int64_t)>& observer() {
    static std::function<void(int64_t)> fn;
    return fn;
}

using steady = std::chrono::steady_clock;

// now_ms() stays monotonic across speed changes: each change starts a new segment.
std::mutex segment_mutex;
steady::time_point segment_start = steady::now();
double segment_base_ms = 0;

} // namespace

namespace Clock {

void sleep_ms(int64_t ms) {
    if (observer()) observer()(ms);
    if (ms <= 0) return;
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(static_cast<double>(ms) * 1000.0 / speed())));
}

int64_t now_ms() {
    std::lock_guard<std::mutex> lock(segment_mutex);
    double real = std::chrono::duration<double, std::milli>(steady::now() - segment_start).count();
    return static_cast<int64_t>(segment_base_ms + real * speed());
}

int64_t real_ms(int64_t system_ms) {
    return static_cast<int64_t>(static_cast<double>(system_ms) / speed());
}

void set_speed(double s) {
    if (!(s > 0)) return;
    std::lock_guard<std::mutex> lock(segment_mutex);
    auto now = steady::now();
    segment_base_ms += std::chrono::duration<double, std::milli>(now - segment_start).count() * speed_value().load();
    segment_start = now;
    speed_value().store(s);
}

double speed() { return speed_value().load(); }

void set_sleep_observer(std::function<void(int64_t ms)> fn) { observer() = std::move(fn); }

} // namespace Clock
