#include "cli/DiscoverCommand.h"

#include "batch/CameraList.h"
#include "cli/LoginOptions.h"
#include "cli/StopSignal.h"
#include "discovery/Discovery.h"
#include "foundation/Clock.h"
#include "onvif/CameraReader.h"
#include "onvif/WsdProber.h"

#include <CLI/CLI.hpp>
#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

namespace {

constexpr int64_t kListenSliceMs = 100;

// Listens for the given time, and on until every ONVIF probe of a range has gone out; Ctrl-C
// ends either.
void listen(const DiscoverOptions& options, const StopSignal& stop, const onvif::WsdProber* prober) {
    for (int64_t left = static_cast<int64_t>(options.seconds * 1000); left > 0 && !stop.requested(); left -= kListenSliceMs)
        Clock::sleep_ms(std::min(left, kListenSliceMs));
    while (prober && !prober->probes_sent() && !stop.requested()) Clock::sleep_ms(kListenSliceMs);
}

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
    cmd->add_flag("--onvif,!--no-onvif", options->onvif, "Find ONVIF cameras too, with WS-Discovery (default: on)");
    add_probe_range_option(*cmd, options->probe_range);
    add_login_options(*cmd, options->user, options->password_file);
    cmd->callback([options, cmd, &exit_code] {
        options->user_given = cmd->get_option("--user")->count() > 0;
        exit_code = run_discover(*options);
    });
}

int run_discover(const DiscoverOptions& options) {
    onvif::CameraLogin login;
    login.user = options.user;
    bool password_given = false;
    if (!resolve_login_password(options.password_file, login.password, &password_given)) {
        std::fprintf(stderr, "fleetset-cli: --password-file \"%s\": cannot be read\n", options.password_file.c_str());
        return 2;
    }
    login.given = options.user_given || password_given;
    if (!options.onvif && !options.probe_range.empty()) {
        std::fprintf(stderr, "fleetset-cli: --probe-range needs ONVIF discovery (leave out --no-onvif)\n");
        return 2;
    }

    // Ctrl-C ends the listening early; what was found is listed all the same. Taken before
    // the start, so that no signal in between ends the program with nothing listed.
    const StopSignal stop;
    DiscoveryConfig config;
    std::function<std::vector<std::string>()> chosen;
    if (!options.interface_address.empty()) {
        // One sweep from that address only: the engine sweeps its local-address list.
        chosen = [address = options.interface_address] { return std::vector<std::string>{address}; };
        config.local_addresses = chosen;
    }
    CDiscovery discovery(std::move(config));
    // The table is what we print; the callback only has to be there for records to be kept.
    auto no_op = [](const DEV_INFO*, uint32_t, void*) -> uint32_t { return 0; };
    discovery.SetDiscoveryCB(no_op, nullptr);
    if (discovery.StartDiscovery(2147483647) != 0) {
        std::fprintf(stderr, "fleetset-cli: discovery could not start\n");
        return 1;
    }
    std::optional<onvif::WsdProber> prober;
    if (options.onvif) {
        onvif::ProberConfig probing;
        probing.local_addresses = chosen;
        if (!options.probe_range.empty()) onvif::parse_probe_range(options.probe_range, probing.range);
        prober.emplace(std::move(probing));
        if (!prober->start()) {
            std::fprintf(stderr, "fleetset-cli: ONVIF discovery could not start; listing our own protocol's cameras only\n");
            prober.reset();
        }
    }
    listen(options, stop, prober ? &*prober : nullptr);

    std::vector<DEV_INFO> devices;
    int count = 0;
    discovery.GetDeviceList(devices, count);
    discovery.StopDiscovery();
    std::vector<onvif::OnvifCamera> cameras;
    if (prober) {
        prober->stop();
        cameras = prober->cameras();
        onvif::read_cameras(cameras, login, [&stop] { return stop.requested(); });
    }

    std::string out = format_camera_list(merge_cameras(devices, cameras), options.format);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
