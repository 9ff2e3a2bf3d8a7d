#pragma once
#include "support/EventLog.h"
#include "FakeDevice.h"

#include "devsdk/ovix_client.h"
#include "foundation/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

// Polls until cond holds; false when it never does within a generous bound. The bound only
// keeps a broken build from hanging: tests assert the outcome, never how long it took.
inline bool eventually(const std::function<bool()>& cond) {
    const int64_t deadline = Clock::now_ms() + static_cast<int64_t>(60000 * Clock::speed());
    while (!cond()) {
        if (Clock::now_ms() > deadline) return false;
        Clock::sleep_ms(2);
    }
    return true;
}

// The library is initialised for each test, and a fake device listens on loopback.
class SdkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Network_ClientInit(), OVIX_OK); }
    void TearDown() override {
        Network_ClientUnInit();
        Clock::set_speed(1.0);
    }

    int32_t login(const char* user = "Admin", const char* password = "tevoq") {
        int32_t handle = -1;
        EXPECT_EQ(Network_ClientLogin(&handle, "127.0.0.1", device.port(), user, password), OVIX_OK);
        return handle;
    }

    FakeDevice device;
};

// A file name in the temporary directory, removed with the object.
class TempFile {
public:
    TempFile() {
        char name[] = "/tmp/ovix-test-XXXXXX";
        int fd = ::mkstemp(name);
        if (fd >= 0) ::close(fd);
        m_path = name;
    }
    ~TempFile() { ::unlink(m_path.c_str()); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};
