#pragma once
#include "support/EventLog.h"
#include "support/Eventually.h"
#include "support/FakeDevice.h"
#include "support/TempFile.h"

#include "devsdk/ovix_client.h"
#include "foundation/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

using support::eventually;
using support::TempFile;

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
