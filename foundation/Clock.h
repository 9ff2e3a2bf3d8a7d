#pragma once
#include <cstdint>
#include <functional>

// The one time facility: every sleep, wait and budget of the system goes through it.
// A speed factor above 1 runs the system's fixed waits (the 40 s reboot wait, the 60 s
// budgets, the polls) that many times faster without touching their constants: a sleep of
// N ms lasts N / speed real ms, and now_ms() advances speed times faster than real time,
// so a budget measured with now_ms() expires after the same number of sleeps either way.
namespace Clock {

// Sleeps for ms system milliseconds (nothing for ms <= 0).
void sleep_ms(int64_t ms);

// Monotonic system milliseconds since an arbitrary origin.
int64_t now_ms();

// Converts a system duration to the real duration it lasts at the current speed.
int64_t real_ms(int64_t system_ms);

// 1 is real time. Also read once from FLEETSET_TIME_SPEED at first use, so that
// demos and child processes can be sped up from outside.
void set_speed(double speed);
double speed();

// Called with the requested system milliseconds before every sleep; tests use it to see
// how a wait was sliced. Empty to remove. Must be set while no other thread sleeps.
void set_sleep_observer(std::function<void(int64_t ms)> observer);

} // namespace Clock
