// The address checks both front ends make before an address change: every row is a change
// that would lose a camera (or one that must pass).
#include "batch/AddressCheck.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* name;
    FixedAddressChange change;
    size_t cameras;
    AddressRefusal expected;
};

TEST(AddressCheck, FixedAddressesThatWouldLoseACameraAreRefused) {
    const std::vector<std::string> others = {"10.77.5.2", "10.77.5.3"};
    using R = AddressRefusal;
    const Row rows[] = {
        {"a sound change", {"10.77.5.50", "255.255.0.0", "10.77.0.1", "", ""}, 1, R::None},
        {"blank address", {"", "255.255.0.0", "10.77.0.1", "", ""}, 1, R::UnusableAddress},
        {"0.0.0.0", {"0.0.0.0", "255.255.0.0", "10.77.0.1", "", ""}, 1, R::UnusableAddress},
        {"limited broadcast", {"255.255.255.255", "255.255.0.0", "10.77.0.1", "", ""}, 1, R::UnusableAddress},
        {"subnet broadcast", {"10.77.255.255", "255.255.0.0", "10.77.0.1", "", ""}, 1, R::UnusableAddress},
        {"subnet's own address", {"10.77.0.0", "255.255.0.0", "10.77.0.1", "", ""}, 1, R::UnusableAddress},
        {"multicast", {"239.1.2.3", "255.255.0.0", "10.77.0.1", "", ""}, 1, R::UnusableAddress},
        {"loopback", {"127.0.0.5", "255.0.0.0", "127.0.0.1", "", ""}, 1, R::UnusableAddress},
        {"link-local", {"169.254.3.4", "255.255.0.0", "169.254.0.1", "", ""}, 1, R::UnusableAddress},
        {"not an address", {"10.77.5", "255.255.0.0", "10.77.0.1", "", ""}, 1, R::UnusableAddress},
        {"blank mask", {"10.77.5.50", "0.0.0.0", "10.77.0.1", "", ""}, 1, R::UnusableMask},
        {"holes in the mask", {"10.77.5.50", "255.0.255.0", "10.77.0.1", "", ""}, 1, R::UnusableMask},
        {"all-ones mask", {"10.77.5.50", "255.255.255.255", "10.77.0.1", "", ""}, 1, R::UnusableMask},
        {"blank gateway", {"10.77.5.50", "255.255.0.0", "0.0.0.0", "", ""}, 1, R::UnusableGateway},
        {"gateway is the camera", {"10.77.5.50", "255.255.0.0", "10.77.5.50", "", ""}, 1, R::UnusableGateway},
        {"multicast gateway", {"10.77.5.50", "255.255.0.0", "224.0.0.1", "", ""}, 1, R::UnusableGateway},
        {"gateway on the subnet's broadcast", {"10.77.5.50", "255.255.255.0", "10.77.5.255", "", ""}, 1, R::UnusableGateway},
        {"gateway in another subnet", {"10.77.5.50", "255.255.255.0", "10.77.6.1", "", ""}, 1, R::GatewayOutsideSubnet},
        {"one address for two cameras", {"10.77.5.50", "255.255.0.0", "10.77.0.1", "", ""}, 2, R::OneAddressForMany},
        {"another camera's address", {"10.77.5.3", "255.255.0.0", "10.77.0.1", "", ""}, 1, R::AddressTaken},
        // The command line may leave mask and gateway to the camera: its own are checked.
        {"camera keeps a fitting mask", {"10.77.5.50", "", "", "255.255.0.0", "10.77.0.1"}, 1, R::None},
        {"camera's gateway is elsewhere", {"10.77.5.50", "", "", "255.255.255.0", "10.77.0.1"}, 1, R::GatewayOutsideSubnet},
        {"camera's mask unknown", {"10.77.5.50", "", "", "", ""}, 1, R::None},
    };
    for (const Row& row : rows) EXPECT_EQ(check_fixed_address(row.change, row.cameras, others), row.expected) << row.name;
}

TEST(AddressCheck, RangesHandOutOnlyHostAddresses) {
    EXPECT_EQ(check_range_ends("10.77.30.1", "10.77.30.99"), AddressRefusal::None);
    for (const auto& [first, last] : std::vector<std::pair<const char*, const char*>>{
             {"127.0.0.1", "127.0.0.9"}, {"224.0.0.1", "224.0.0.9"}, {"0.0.0.1", "0.0.0.9"}, {"10.77.30.1", "junk"}})
        EXPECT_EQ(check_range_ends(first, last), AddressRefusal::UnusableRange) << first << "-" << last;
    EXPECT_TRUE(is_range_host("10.77.30.1") && !is_range_host("10.77.30.0") && !is_range_host("10.77.30.255"));
}

} // namespace
