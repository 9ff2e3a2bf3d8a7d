#include "cli/DiscoverCommand.h"

#include "cli/StopSignal.h"
#include "discovery/Discovery.h"
#include "foundation/Clock.h"

#include <CLI/CLI.hpp>
#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

constexpr int64_t kListenSliceMs = 100;

} // namespace

void add_discover_command(CLI::App& app, int& exit_code) {
    auto options = std::make_shared<DiscoverOptions>();
    auto* cmd = app.add_subcommand("discover", "Find the cameras on the local network and list them");
    cmd->add_option("--seconds", options->seconds, "How long to listen for replies (Ctrl-C lists what was found so far)")
        ->check(CLI::Range(0.0, 3600.0))
        ->capture_default_str();
    cmd->add_option("--interface", options->interface_address,
                    "Local IPv4 address to search from (default: every local address)")
        ->check(CLI::ValidIPV4);
    const std::map<std::string, DeviceListFormat> formats = {
        {"table", DeviceListFormat::Table}, {"json", DeviceListFormat::Json}, {"csv", DeviceListFormat::Csv}};
    cmd->add_option("--format", options->format, "Output format: table, json or csv")
        ->transform(CLI::CheckedTransformer(formats, CLI::ignore_case).description(""))->type_name("table|json|csv");
    cmd->callback([options, &exit_code] { exit_code = run_discover(*options); });
}

int run_discover(const DiscoverOptions& options) {
    // Ctrl-C ends the listening early; what was found is listed all the same. Taken before
    // the start, so that no signal in between ends the program with nothing listed.
    const StopSignal stop;
    DiscoveryConfig config;
    if (!options.interface_address.empty()) {
        // One sweep from that address only: the engine sweeps its local-address list.
        config.local_addresses = [address = options.interface_address] { return std::vector<std::string>{address}; };
    }
    CDiscovery discovery(std::move(config));
    // The table is what we print; the callback only has to be there for records to be kept.
    auto no_op = [](const DEV_INFO*, uint32_t, void*) -> uint32_t { return 0; };
    discovery.SetDiscoveryCB(no_op, nullptr);
    if (discovery.StartDiscovery(2147483647) != 0) {
        std::fprintf(stderr, "fleetset-cli: discovery could not start\n");
        return 1;
    }
    for (int64_t left = static_cast<int64_t>(options.seconds * 1000); left > 0 && !stop.requested(); left -= kListenSliceMs)
        Clock::sleep_ms(std::min(left, kListenSliceMs));

    std::vector<DEV_INFO> devices;
    int count = 0;
    discovery.GetDeviceList(devices, count);
    discovery.StopDiscovery();

    std::string out = format_device_list(devices, options.format);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
