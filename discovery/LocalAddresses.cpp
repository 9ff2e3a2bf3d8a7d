#include "discovery/LocalAddresses.h"

#include "foundation/debug_log.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <ifaddrs.h>
#include <netinet/in.h>

bool query_local_ipv4_addresses(std::vector<std::string>& addresses) {
    addresses.clear();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        DEBUG_LOCATION("Discovery", "query_local_ipv4_addresses");
        debug_log("getifaddrs failed %d\n", errno);
        return false;
    }
    // The limit counts every IPv4 entry, loopback included, as a query with room for ten
    // entries would; interface flags are not looked at.
    int entries = 0;
    bool ok = true;
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
        if (++entries > kMaxLocalAddresses) {
            DEBUG_LOCATION("Discovery", "query_local_ipv4_addresses");
            ok = false;
            break;
        }
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
        std::string address(text);
        if (address == "127.0.0.1") continue;
        if (std::find(addresses.begin(), addresses.end(), address) != addresses.end()) continue;
        addresses.push_back(std::move(address));
    }
    freeifaddrs(list);
    if (!ok) addresses.clear();
    return ok;
}
