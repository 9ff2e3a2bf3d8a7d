// Entry point of every test program that opens discovery sockets. Such a program broadcasts
// to 255.255.255.255, so it refuses to run anywhere but inside the private network lab.
#include "sim/NetLab.h"

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (!inside_network_lab()) {
        std::fprintf(stderr, "%s opens discovery sockets: run it inside scripts/netlab.sh\n", argv[0]);
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
