#include "batch/BatchJob.h"
#include "support/JobLab.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

using support::Firmware;
using support::TempFile;

TEST(VersionMatches, TheSameNumbersWithOrWithoutMoreParts) {
    Firmware file({1, 2, 3}, 16);
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(BatchJob::file_version(file.path()) + " " + BatchJob::own_header_version(file.path()), "1.2.3 1.2.3");
    for (const char* same : {"1.2.3", "1.2.3.0", "1.2.3-build7"})
        EXPECT_TRUE(BatchJob::version_matches(file.path(), same)) << same;
    for (const char* other : {"1.2.30", "V1.2.3", "1.2", "", "1.2.4", " 1.2.3"})
        EXPECT_FALSE(BatchJob::version_matches(file.path(), other)) << other;
}

TEST(VersionMatches, AShortOrMissingFileNeverMatches) {
    TempFile short_file(std::string(100, '\0'));
    EXPECT_EQ(BatchJob::file_version(short_file.path()), "");
    // Another maker's image has numbers where our version goes; only our magic makes them one.
    TempFile foreign(std::string(32, 'x') + std::string("\x01\0\0\0\x02\0\0\0\x03\0\0\0", 12) + std::string(500, 'y'));
    EXPECT_EQ(BatchJob::file_version(foreign.path()) + "|" + BatchJob::own_header_version(foreign.path()), "1.2.3|");
    EXPECT_FALSE(BatchJob::version_matches(short_file.path(), "0.0.0"));
    EXPECT_FALSE(BatchJob::version_matches("/nonexistent/fw.update", "0.0.0"));
}
