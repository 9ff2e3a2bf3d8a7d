#include "foundation/debug_log.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

TEST(DebugLog, LocationMacroNamesFileFunctionAndLineAndUtf8PassesUnchanged) {
    LogCapture log;
    int line = __LINE__ + 1;
    DEBUG_LOCATION("Mutex", "CMutex::Create");
    debug_log("%s\n", "\xe8\xae\xbe\xe5\xa4\x87 \xc3\x97 \xe2\x88\x9a");  // UTF-8 passes unchanged
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"[Mutex : CMutex::Create] " + std::to_string(line) + " entered\n",
                                                     "\xe8\xae\xbe\xe5\xa4\x87 \xc3\x97 \xe2\x88\x9a\n"}));
}

TEST(DebugLog, LongLinesAreCutToTheBufferNotOverrun) {
    LogCapture log;
    std::string huge(30000, 'x');
    EXPECT_EQ(debug_log("%s", huge.c_str()), 0);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0].size(), 20479u);  // the buffer keeps room for its terminator
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
