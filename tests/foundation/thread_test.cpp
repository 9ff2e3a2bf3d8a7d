#include "foundation/Clock.h"
#include "foundation/Thread.h"
#include "support/Eventually.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

// Ends its loop after a given number of rounds (0: never by itself).
struct Owner {
    static constexpr const char* kThreadLogName = "Owner";
    std::atomic<int> calls{0};
    int stop_after = 0;
    std::atomic<uint32_t> last_argument{0};

    uint32_t ThreadFunc(uint32_t argument) {
        last_argument = argument;
        int n = ++calls;
        return (stop_after > 0 && n >= stop_after) ? 1 : 0;
    }
};

// Records every sleep the clock is asked for.
class SleepRecorder {
public:
    SleepRecorder() {
        Clock::set_sleep_observer([this](int64_t ms) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_sleeps.push_back(ms);
        });
    }
    ~SleepRecorder() { Clock::set_sleep_observer({}); }
    std::vector<int64_t> sleeps() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sleeps;
    }

private:
    std::mutex m_mutex;
    std::vector<int64_t> m_sleeps;
};

std::vector<int64_t> pause_slices(int32_t pause_ms) {
    LogCapture log;
    Owner owner;
    owner.stop_after = 2;  // exactly one pause between two rounds
    std::vector<int64_t> sleeps;
    {
        SleepRecorder recorder;
        CThread<Owner> thread;
        EXPECT_EQ(thread.Start(&owner, 0, pause_ms), RC_OK);
        // Spins rather than waits: the recorder would count the waits' sleeps.
        while (!log.contains("quit thread object")) std::this_thread::yield();
        thread.Stop();
        sleeps = recorder.sleeps();
    }
    return sleeps;
}

} // namespace

TEST(CThread, PausesAreSleptInSlicesOf200Ms) {
    EXPECT_EQ(pause_slices(450), (std::vector<int64_t>{200, 200, 50}));
    EXPECT_EQ(pause_slices(200), (std::vector<int64_t>{200}));
    EXPECT_EQ(pause_slices(401), (std::vector<int64_t>{200, 200, 1}));
    EXPECT_TRUE(pause_slices(0).empty());
    EXPECT_TRUE(pause_slices(-5).empty());
}

TEST(CThread, StopEndsALongPauseAtTheNextSlice) {
    Owner owner;
    SleepRecorder recorder;
    CThread<Owner> thread;
    ASSERT_EQ(thread.Start(&owner, 7, 60000), RC_OK);
    while (recorder.sleeps().empty()) std::this_thread::yield();  // no clock sleep: it would be recorded
    EXPECT_EQ(thread.Stop(), RC_OK);
    // A thread that ignored the flag would sleep all 300 slices of the minute.
    EXPECT_LE(recorder.sleeps().size(), 3u);
    EXPECT_EQ(owner.calls.load(), 1);
    EXPECT_EQ(owner.last_argument.load(), 7u);
}

TEST(CThread, OwnerEndingTheLoopLeavesTheObjectRunningUntilStop) {
    LogCapture log;
    Owner owner;
    owner.stop_after = 1;
    CThread<Owner> thread;
    ASSERT_EQ(thread.Start(&owner, 0, 0), RC_OK);
    ASSERT_TRUE(support::eventually([&] { return log.contains("quit thread object"); }));
    EXPECT_EQ(owner.calls.load(), 1);
    EXPECT_EQ(thread.Start(&owner, 0, 0), RC_ALREADY_STARTED);
    EXPECT_TRUE(log.contains("[Thread : CThread<class Owner>::Start]"));
    EXPECT_EQ(thread.Stop(), RC_OK);
    EXPECT_EQ(thread.Start(&owner, 0, 0), RC_OK);  // idle again after Stop
    EXPECT_EQ(thread.Stop(), RC_OK);
}

TEST(CThread, StartAndStopRefusals) {
    LogCapture log;
    CThread<Owner> thread;
    EXPECT_EQ(thread.Stop(), RC_NOT_STARTED);
    EXPECT_EQ(log.count("[Thread : CThread<class Owner>::Stop]"), 1u);
    EXPECT_EQ(thread.Start(nullptr, 0, 0), RC_ARG_MISSING);
    EXPECT_FALSE(thread.IsRunning());
}

TEST(CThread, DestructionStopsARunningThread) {
    Owner owner;
    {
        CThread<Owner> thread;
        ASSERT_EQ(thread.Start(&owner, 0, 1000), RC_OK);
        ASSERT_TRUE(support::eventually([&] { return owner.calls.load() > 0; }));
    }
    int calls = owner.calls.load();
    Clock::sleep_ms(20);
    EXPECT_EQ(owner.calls.load(), calls);  // nothing runs after destruction
}
