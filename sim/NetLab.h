#pragma once
#include <cstdlib>
#include <cstring>
#include <net/if.h>

// True inside the private network lab made by scripts/netlab.sh. Whatever broadcasts on the
// discovery ports without being the real tool on a real network (the simulator, the tests,
// the benchmarks) checks this first, so that nothing leaves on the machine's own interfaces.
inline bool inside_network_lab() {
    const char* marker = std::getenv("FLEETSET_IN_LAB");
    return marker && std::strcmp(marker, "1") == 0 && if_nametoindex("lab0") != 0;
}
