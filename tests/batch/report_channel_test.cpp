// Reports from worker threads to the receiver's thread, and discovery records to the list's
// thread: order, the send guarantee, and never waiting on a receiver that waits for us.
#include "batch/DiscoveryInbox.h"
#include "batch/ReportChannel.h"
#include "support/DeviceRecord.h"
#include "support/Eventually.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Handled = std::vector<std::pair<ReportKind, uint32_t>>;

// The receiver: its thread is the test's thread, which runs queued tasks when told to.
class Receiver {
public:
    Receiver()
        : channel([this](ReportChannel::Task task) {
                      std::lock_guard<std::mutex> lock(mutex);
                      tasks.push_back(std::move(task));
                  },
                  [this](ReportKind kind, uint32_t payload) { handled.push_back({kind, payload}); }) {}

    size_t queued() {
        std::lock_guard<std::mutex> lock(mutex);
        return tasks.size();
    }
    void run_queued() {
        std::deque<ReportChannel::Task> now;
        {
            std::lock_guard<std::mutex> lock(mutex);
            now.swap(tasks);
        }
        for (auto& task : now) task();
    }

    std::mutex mutex;
    std::deque<ReportChannel::Task> tasks;
    Handled handled;  // receiver's thread only
    ReportChannel channel;
};

TEST(ReportChannel, PostsArriveInOrderOnTheReceiversThread) {
    Receiver r;
    std::thread worker([&] {
        r.channel.post_report(REPORT_STATUS, pack_report(2, ST_IS_UPGRADE));
        r.channel.post_report(REPORT_PROGRESS, 40);
        r.channel.post_report(REPORT_DEVICE_DONE, 2);
    });
    worker.join();
    EXPECT_TRUE(r.handled.empty()) << "a post is handled by the receiver, not by the worker";
    r.run_queued();
    EXPECT_EQ(r.handled, (Handled{{REPORT_STATUS, (2u << 16) | 6u}, {REPORT_PROGRESS, 40u}, {REPORT_DEVICE_DONE, 2u}}));
}

TEST(ReportChannel, SendReturnsOnlyAfterTheReceiverHandledIt) {
    Receiver r;
    r.channel.open();
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        r.channel.send_report(REPORT_CHANGE_IP_DONE, 3);
        returned = true;
    });
    ASSERT_TRUE(support::eventually([&] { return r.queued() == 1; }));
    EXPECT_FALSE(returned) << "nothing has handled the report yet";
    r.run_queued();
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(r.handled, (Handled{{REPORT_CHANGE_IP_DONE, 3u}}));
}

TEST(ReportChannel, StoppingReleasesAWaitingSendAndLaterSendsDoNotWait) {
    Receiver r;
    r.channel.open();
    std::thread waiting([&] { r.channel.send_report(REPORT_STATUS, pack_report(1, ST_WAIT_REBOOT)); });
    ASSERT_TRUE(support::eventually([&] { return r.queued() == 1; }));
    // The receiver stops the job and then waits for its workers without serving reports.
    r.channel.close();
    waiting.join();
    std::thread late([&] { r.channel.send_report(REPORT_DEVICE_DONE, 1); });
    late.join();
    EXPECT_TRUE(r.handled.empty());
    // Both reports are still delivered, as posts, once the receiver serves again.
    r.run_queued();
    EXPECT_EQ(r.handled, (Handled{{REPORT_STATUS, pack_report(1, ST_WAIT_REBOOT)}, {REPORT_DEVICE_DONE, 1u}}));

    // The next job's sends wait again.
    r.channel.open();
    std::atomic<bool> returned{false};
    std::thread next([&] {
        r.channel.send_report(REPORT_STATUS, pack_report(0, ST_LOGIN_MAX_USER));
        returned = true;
    });
    ASSERT_TRUE(support::eventually([&] { return r.queued() == 1; }));
    EXPECT_FALSE(returned);
    r.run_queued();
    next.join();
}

TEST(ReportChannel, SendFromTheReceiversOwnThreadIsHandledAtOnce) {
    Receiver r;
    r.channel.open();
    r.channel.send_report(REPORT_JOB_STATE, 0);
    EXPECT_EQ(r.queued(), 0u);
    EXPECT_EQ(r.handled, (Handled{{REPORT_JOB_STATE, 0u}}));
}

TEST(DiscoveryInbox, WakesOncePerBatchAndKeepsOrder) {
    std::atomic<int> wakes{0};
    DiscoveryInbox inbox([&] { ++wakes; });
    std::thread merge([&] {
        for (char c = 'a'; c <= 'e'; ++c) inbox.push(make_device_record({c}, "10.77.1.1"), c == 'a');
    });
    merge.join();
    EXPECT_EQ(wakes, 1) << "the owner is woken once for everything queued before it ran";
    std::string taken;  // each MAC, + when new
    for (const auto& item : inbox.take()) taken += std::string(item.record.mac_address) + (item.is_new ? "+" : "-");
    EXPECT_EQ(taken, "a+b-c-d-e-");

    inbox.push(make_device_record("f", "10.77.1.1"), true);
    EXPECT_EQ(wakes, 2) << "a report after take() wakes the owner again";
    inbox.discard();
    EXPECT_TRUE(inbox.take().empty());
}

} // namespace
