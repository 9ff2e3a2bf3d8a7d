// Entry point of the window tests. The batch window starts discovery, which broadcasts to
// 255.255.255.255, so the program refuses to run outside the private network lab. The
// windows are drawn on Qt's offscreen platform: no display is needed.
#include "sim/NetLab.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (!inside_network_lab()) {
        std::fprintf(stderr, "%s opens discovery sockets: run it inside scripts/netlab.sh\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Windows that keep their inputs keep them here, never in the user's own settings.
    char config_home[] = "/tmp/fleetset-ui-config-XXXXXX";
    if (!mkdtemp(config_home)) return 2;
    qputenv("XDG_CONFIG_HOME", config_home);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
