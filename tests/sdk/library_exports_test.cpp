#include "devsdk/ovix_client.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

// The shared library that programs load by name shows the C interface and nothing of its inside.
TEST(LibraryExports, SharedLibraryShowsExactlyTheInterface) {
    void* library = dlopen(OVIX_CLIENT_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* name :
         {"Network_ClientInit", "Network_ClientUnInit", "Network_ClientLogin", "Network_ClientLogout",
          "Network_ClientSetEventCB", "Network_ClientGetDeviceConfig", "Network_ClientSetDeviceConfig",
          "Network_ClientDeviceControl", "Network_ClientStartUpgrade", "Network_ClientGetUpgradeStatus",
          "Network_ClientStopUpgrade", "Network_ClientStartLive", "Network_ClientStopLive",
          "Network_ClientLiveControl", "Network_ClientLDRControl", "Network_ClientIrcutControl",
          "Network_ClientPTZControl", "Network_ClientPlayVoiceData_test", "Network_ClientGetCameraAdvanceConfig"})
        EXPECT_NE(dlsym(library, name), nullptr) << name;
    EXPECT_EQ(dlsym(library, "_ZN4ovix12crypto_readyEv"), nullptr);
    EXPECT_EQ(dlsym(library, "_ZN4ovix6client9libraryEv"), nullptr);
    // The shared library's functions called by a program that links it: quiet_caller.c.
    dlclose(library);
}
