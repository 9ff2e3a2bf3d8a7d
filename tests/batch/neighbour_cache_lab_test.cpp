#include "batch/NeighbourCache.h"

#include <gtest/gtest.h>

// Inside the lab's network namespace, where the test may change the cache.
namespace {

// What scripts/netlab.sh gives the tool's side of the lab.
constexpr const char* kLabAddress = "10.77.0.1";
constexpr const char* kLabInterface = "lab0";

TEST(SystemNeighbourCache, ForgetsLearntEntriesOfTheLabInterfaceButNotOnesSetByHand) {
    SpawnCommandRunner ip(20000);
    // "stale" as if learnt from a camera's reply; without a state ip makes the entry
    // permanent, as an administrator's static one.
    ASSERT_EQ(ip.run({"ip", "neigh", "add", "10.77.9.9", "lladdr", "02:00:00:00:00:09", "dev", kLabInterface,
                      "nud", "stale"}).exit_code, 0);
    ASSERT_EQ(ip.run({"ip", "neigh", "add", "10.77.9.10", "lladdr", "02:00:00:00:00:0a", "dev", kLabInterface})
                  .exit_code, 0);

    EXPECT_TRUE(SystemNeighbourCache().flush(kLabAddress));
    const std::string left = ip.run({"ip", "neigh", "show", "dev", kLabInterface}).output;
    EXPECT_EQ(left.find("10.77.9.9 "), std::string::npos) << left;
    EXPECT_NE(left.find("10.77.9.10 "), std::string::npos) << left;
}

} // namespace
