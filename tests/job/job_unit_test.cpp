#include "batch/BatchJob.h"
#include "discovery/Discovery.h"
#include "support/JobLab.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

using support::Firmware;
using support::TempFile;

TEST(VersionMatches, TheSameNumbersWithOrWithoutMoreParts) {
    Firmware file({1, 2, 3}, 16);
    ASSERT_TRUE(file.ok);
    EXPECT_EQ(BatchJob::file_version(file.path()), "1.2.3");
    for (const char* same : {"1.2.3", "1.2.3.0", "1.2.3-build7"})
        EXPECT_TRUE(BatchJob::version_matches(file.path(), same)) << same;
    for (const char* other : {"1.2.30", "V1.2.3", "1.2", "", "1.2.4", " 1.2.3"})
        EXPECT_FALSE(BatchJob::version_matches(file.path(), other)) << other;
}

TEST(VersionMatches, AShortOrMissingFileNeverMatches) {
    TempFile short_file(std::string(100, '\0'));
    EXPECT_EQ(BatchJob::file_version(short_file.path()), "");
    EXPECT_FALSE(BatchJob::version_matches(short_file.path(), "0.0.0"));
    EXPECT_FALSE(BatchJob::version_matches("/nonexistent/fw.update", "0.0.0"));
}

TEST(UpdateProgress, EachDeviceCountsFifteenUnitsAndTheRebootShareFillsAtTheEnd) {
    CDiscovery discovery;
    DeviceTable devices;
    support::PlainInputs inputs;
    support::CountingNeighbours neighbours;
    support::ReportLog log;
    BatchJob job(discovery, devices, inputs, log.channel(), neighbours);
    job.m_thrd_cnt = 3;
    job.update_progress(0);
    job.update_progress(7);  // outside 0..3: ignored
    ASSERT_TRUE(support::eventually([&] { return log.count(REPORT_PROGRESS) == 1; }));
    EXPECT_EQ(log.reports().back().payload, 2u) << "1 unit of 45";
    for (int i = 0; i < 3; ++i) job.update_progress(1);
    for (int i = 0; i < 2; ++i) job.update_progress(0);
    for (int i = 0; i < 3; ++i) job.update_progress(2);
    ASSERT_TRUE(support::eventually([&] { return log.count(REPORT_PROGRESS) == 9; }));
    EXPECT_EQ(log.reports().back().payload, 100u) << "stage 2 of every device raises the reboot share";
    EXPECT_EQ(log.count(REPORT_DONE_COUNT, pack_report(3, 3)), 1u);
}
