// fleetset-sim: a fleet of virtual cameras answering the tool's discovery, for the private
// network lab. Runs until SIGINT or SIGTERM.
#include "foundation/debug_log.h"
#include "sim/FileLimit.h"
#include "sim/FleetConfigFile.h"
#include "sim/FleetGenerator.h"
#include "sim/SimFleet.h"

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <string>

namespace {

struct Options {
    std::string config_file;
    size_t count = 0;
    bool demo_mix = false;
    std::string reply;
    int spread_ms = 0;
    uint16_t device_port = 13000;
    uint16_t tool_port = 12000;
    bool verbose = false;
    bool codec_log = false;
};

FleetConfig fleet_from(const Options& options, const CLI::App& app) {
    FleetSpec spec = options.config_file.empty() ? FleetSpec{} : load_fleet_spec(options.config_file);
    // Flags given on the command line override the file.
    if (app.count("--count")) spec.generate = options.count;
    if (app.count("--demo-mix")) spec.demo_mix = true;
    if (app.count("--reply")) spec.fleet.reply_mode = options.reply == "unicast" ? ReplyMode::Unicast : ReplyMode::Broadcast;
    if (app.count("--spread")) spec.fleet.reply_spread_ms = options.spread_ms;
    if (app.count("--device-port")) spec.fleet.device_port = options.device_port;
    if (app.count("--tool-port")) spec.fleet.tool_port = options.tool_port;
    spec.fleet.log_traffic = options.verbose;
    return build_fleet(spec);
}

std::string describe(const FleetConfig& fleet) {
    std::string text = std::to_string(fleet.cameras.size()) + (fleet.cameras.size() == 1 ? " camera" : " cameras") +
                       " answering on UDP " + std::to_string(fleet.device_port) + ", replies by ";
    if (fleet.reply_mode == ReplyMode::Broadcast)
        text += "broadcast to " + fleet.broadcast_address + ":" + std::to_string(fleet.tool_port);
    else
        text += "unicast to the requesting tool";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{"A fleet of simulated cameras that answers fleetset's discovery. Run it inside scripts/netlab.sh."};
    app.add_option("--config", options.config_file, "JSON fleet description (see docs/simulator.md)")->check(CLI::ExistingFile);
    app.add_option("--count", options.count, "Default cameras to generate: MACs 00:1A:2B:00:00:01 up, addresses 10.77.1.1 up")
        ->check(CLI::Range(size_t{1}, max_generated_cameras()));
    app.add_option("--reply", options.reply, "How cameras answer: broadcast (default) or unicast")
        ->check(CLI::IsMember({"broadcast", "unicast"}));
    app.add_flag("--demo-mix", options.demo_mix, "Give the generated cameras varied types, versions and ports");
    app.add_option("--spread", options.spread_ms, "Spread the fleet's answers to one request over this many ms")->check(CLI::Range(0, 600000));
    app.add_option("--device-port", options.device_port, "UDP port the cameras listen on")->check(CLI::Range(1, 65535));
    app.add_option("--tool-port", options.tool_port, "UDP port broadcast replies go to")->check(CLI::Range(1, 65535));
    app.add_flag("-v,--verbose", options.verbose, "Log every request and address change");
    app.add_flag("--codec-log", options.codec_log, "Also pass on the message codec's diagnostic lines");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help exits with 0; every bad flag with the same code as a bad file.
        return app.exit(e) == 0 ? 0 : 2;
    }

    // The codec reports every field it decodes; a fleet answering sweeps would drown its own
    // lines in them, so by default only the simulator's lines get through.
    if (!options.codec_log)
        set_debug_log_sink([](std::string_view line) {
            if (line.rfind("[sim]", 0) == 0) std::fwrite(line.data(), 1, line.size(), stderr);
        });

    FleetConfig config;
    try {
        config = fleet_from(options, app);
    } catch (const ConfigError& e) {
        std::fprintf(stderr, "fleetset-sim: %s\n", e.what());
        return 2;
    }

    // Block the stop signals in every thread the fleet starts, then wait for them here.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    raise_open_file_limit();
    SimFleet fleet(config);
    if (!fleet.start()) {
        std::fprintf(stderr, "fleetset-sim: could not start (see the lines above)\n");
        return 1;
    }
    std::printf("fleetset-sim: %s\n", describe(config).c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stop_signals, &received);
    fleet.stop();
    return 0;
}
