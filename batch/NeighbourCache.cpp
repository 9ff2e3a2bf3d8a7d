#include "batch/NeighbourCache.h"

#include "foundation/debug_log.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <vector>

namespace {

constexpr const char* kFile = "NeighbourCache";
constexpr const char* kFunction = "SystemNeighbourCache::flush";

// The interface that holds the IPv4 address; empty when none does or the list is unreadable.
std::string interface_of(const std::string& local_address) {
    in_addr wanted{};
    if (local_address.empty() || inet_pton(AF_INET, local_address.c_str(), &wanted) != 1) return {};
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {};
    std::string name;
    for (ifaddrs* it = list; it && name.empty(); it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET || !it->ifa_name) continue;
        if (reinterpret_cast<const sockaddr_in*>(it->ifa_addr)->sin_addr.s_addr == wanted.s_addr)
            name = it->ifa_name;
    }
    freeifaddrs(list);
    // An address with a label ("eth0:1") is listed under the label; the device is the part
    // before the colon, which device names cannot contain.
    return name.substr(0, name.find(':'));
}

template <typename Visit>
void for_each_line(const std::string& output, Visit visit) {
    size_t pos = 0;
    while (pos < output.size()) {
        size_t end = output.find('\n', pos);
        if (end == std::string::npos) end = output.size();
        if (end > pos) visit(output.substr(pos, end - pos));
        pos = end + 1;
    }
}

// ip's message on one line, for a log line of its own.
std::string one_line(const std::string& output) {
    std::string line;
    for_each_line(output, [&](const std::string& l) { line += (line.empty() ? "" : "; ") + l; });
    return line;
}

std::string describe(const CommandResult& r) {
    if (r.exit_code == kCommandNotStarted) return "ip could not be started";
    if (r.exit_code == kCommandTimedOut) return "ip did not answer in time";
    return "exit " + std::to_string(r.exit_code) + ": " + one_line(r.output);
}

} // namespace

bool SystemNeighbourCache::flush(const std::string& local_address) {
    try {
        const std::string device = interface_of(local_address);
        const std::string scope = device.empty() ? "every interface" : device;
        if (device.empty() && !local_address.empty())
            debug_log("neighbour cache: %s is on no interface, clearing every interface\n", local_address.c_str());

        std::vector<std::string> flush_argv = {"ip", "neigh", "flush"};
        std::vector<std::string> show_argv = {"ip", "neigh", "show"};
        if (device.empty()) {
            flush_argv.push_back("all");
        } else {
            flush_argv.insert(flush_argv.end(), {"dev", device});
            show_argv.insert(show_argv.end(), {"dev", device});
        }

        // ip may report a refused deletion and still exit with 0.
        CommandResult r = m_runner.run(flush_argv);
        if (r.exit_code != 0 || r.output.find("Operation not permitted") != std::string::npos) {
            DEBUG_LOCATION(kFile, kFunction);
            debug_log("neighbour cache of %s could not be cleared (%s); the job goes on\n", scope.c_str(),
                      describe(r).c_str());
            return false;
        }

        CommandResult left = m_runner.run(show_argv);
        if (left.exit_code != 0) {
            DEBUG_LOCATION(kFile, kFunction);
            debug_log("neighbour cache of %s cleared, but its entries could not be listed (%s)\n", scope.c_str(),
                      describe(left).c_str());
            return true;
        }
        // One entry per line: a cache with many cameras' entries would overflow a single line.
        debug_log("neighbour cache of %s cleared; entries left:%s\n", scope.c_str(),
                  left.output.find_first_not_of(" \n") == std::string::npos ? " none" : "");
        for_each_line(left.output, [](const std::string& entry) { debug_log("  %s\n", entry.c_str()); });
        return true;
    } catch (...) {
        DEBUG_LOCATION(kFile, kFunction);
        debug_log("neighbour cache could not be cleared (unexpected error); the job goes on\n");
        return false;
    }
}
