#pragma once
// Helpers for tests that open discovery sockets. They run only inside the network lab
// (scripts/netlab.sh), where the tool owns 10.77.0.1 and any 10.77.x.y can be bound.
#include "discovery/DiscoveryConfig.h"
#include "foundation/Clock.h"
#include "support/DeviceRecord.h"
#include "support/Eventually.h"
#include "support/LabSocket.h"
#include "support/TempFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace lab {

using support::eventually;

// Collects what a discovery callback reports.
class Reports {
public:
    struct Report {
        DEV_INFO device;
        uint32_t flag;
    };
    static uint32_t callback(const DEV_INFO* device, uint32_t flag, void* context) {
        auto* self = static_cast<Reports*>(context);
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_items.push_back({*device, flag});
        return 0;
    }
    std::vector<Report> items() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_items;
    }
    bool wait_for(size_t count) const {
        return eventually([&] { return items().size() >= count; });
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Report> m_items;
};

// Declared before the objects whose threads sleep, so it is removed after they stopped.
struct ScopedSleepObserver {
    explicit ScopedSleepObserver(std::function<void(int64_t)> f) { Clock::set_sleep_observer(std::move(f)); }
    ~ScopedSleepObserver() { Clock::set_sleep_observer({}); }
};

// Refuses to run outside the lab: the engine broadcasts to 255.255.255.255.
class LabTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_STREQ(std::getenv("FLEETSET_IN_LAB"), "1") << "run inside scripts/netlab.sh";
        ASSERT_FALSE(trace_dir.path().empty());
        Clock::set_speed(10);
        config.trace_directory = trace_dir.path();
    }
    void TearDown() override { Clock::set_speed(1); }

    support::TempDir trace_dir{"fleetset-engine"};
    DiscoveryConfig config;
};

} // namespace lab
