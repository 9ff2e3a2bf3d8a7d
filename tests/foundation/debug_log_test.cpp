#include "foundation/debug_log.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

TEST(DebugLog, LocationLineHasTheFixedShape) {
    LogCapture log;
    debug_log("[%s : %s] %d entered\n", "Discovery", "private_discover::recv_packet", 42);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "[Discovery : private_discover::recv_packet] 42 entered\n");
}

TEST(DebugLog, LocationMacroNamesFileFunctionAndLine) {
    LogCapture log;
    int line = __LINE__ + 1;
    DEBUG_LOCATION("Mutex", "CMutex::Create");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "[Mutex : CMutex::Create] " + std::to_string(line) + " entered\n");
}

TEST(DebugLog, LongLinesAreCutToTheBufferNotOverrun) {
    LogCapture log;
    std::string huge(30000, 'x');
    EXPECT_EQ(debug_log("%s", huge.c_str()), 0);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].size(), 20479u);  // the buffer keeps room for its terminator
}

TEST(DebugLog, Utf8TextPassesUnchanged) {
    LogCapture log;
    debug_log("%s\n", "\xe8\xae\xbe\xe5\xa4\x87 \xc3\x97 \xe2\x88\x9a");
    EXPECT_EQ(log.lines().at(0), "\xe8\xae\xbe\xe5\xa4\x87 \xc3\x97 \xe2\x88\x9a\n");
}

TEST(DebugLog, LinesFromManyThreadsStayWhole) {
    LogCapture log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) debug_log("thread %d line %d end\n", t, i);
        });
    for (auto& th : threads) th.join();
    auto lines = log.lines();
    ASSERT_EQ(lines.size(), 1600u);
    for (const auto& l : lines) {
        EXPECT_EQ(l.rfind("thread ", 0), 0u) << l;
        EXPECT_EQ(l.substr(l.size() - 5), " end\n") << l;
    }
}
