#include "foundation/Clock.h"

#include <gtest/gtest.h>

// Restores real time after each test.
class ClockSpeed : public ::testing::Test {
protected:
    void TearDown() override { Clock::set_speed(1.0); }
};

TEST_F(ClockSpeed, SpeedScalesRealDurationsNotTheConstants) {
    Clock::set_speed(40.0);
    EXPECT_EQ(Clock::real_ms(40000), 1000);  // the 40 s reboot wait lasts one real second
    Clock::set_speed(0.0);  // non-positive speeds are ignored
    Clock::set_speed(-2.0);
    EXPECT_EQ(Clock::real_ms(40000), 1000);
    Clock::set_speed(1.0);
    EXPECT_EQ(Clock::real_ms(40000), 40000);
}

TEST_F(ClockSpeed, BudgetsSeeTheSameSystemTimeAtAnySpeed) {
    Clock::set_speed(1000.0);
    int64_t start = Clock::now_ms();
    Clock::sleep_ms(2000);  // two real milliseconds
    EXPECT_GE(Clock::now_ms() - start, 2000);
}

TEST_F(ClockSpeed, NowStaysMonotonicAcrossSpeedChanges) {
    Clock::set_speed(500.0);
    Clock::sleep_ms(1000);
    int64_t fast = Clock::now_ms();
    Clock::set_speed(1.0);
    EXPECT_GE(Clock::now_ms(), fast);
}
