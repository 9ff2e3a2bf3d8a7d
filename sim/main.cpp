// fleetset-sim: a fleet of virtual cameras answering the tool's discovery and its device SDK,
// for the private network lab. Runs until SIGINT or SIGTERM. `fleetset-sim mkfw` writes
// firmware files for them instead.
#include "devsdk/protocol/FirmwareFile.h"
#include "foundation/debug_log.h"
#include "sim/DeviceRecordJson.h"
#include "sim/FileLimit.h"
#include "sim/FleetConfigFile.h"
#include "sim/FleetGenerator.h"
#include "sim/SimFleet.h"
#include "sim/onvif/OnvifConfigJson.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <string>

namespace {

struct Options {
    std::string config_file;
    size_t count = 0;
    bool demo_mix = false;
    uint64_t fault_mix_seed = 0;
    std::string reply;
    int spread_ms = 0;
    uint16_t device_port = 13000;
    uint16_t tool_port = 12000;
    bool verbose = false;
    bool codec_log = false;
    std::string admin_password;
    int reboot_ms = 0;
    std::string record_file;
    bool onvif = false;
    std::string protocols;
};

struct FirmwareOptions {
    std::string out;
    std::string version;
    std::string board_type = "0x3516";
    std::string size = "1M";
    uint64_t seed = 1;
    std::string description;
};

// "16M", "512K", "1G" (binary multiples) or a plain count of bytes.
bool parse_size(const std::string& text, uint64_t& out) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str() || errno != 0) return false;
    const std::string unit = end;
    const uint64_t factor = unit.empty() ? 1 : unit == "K" || unit == "k" ? 1ull << 10 : unit == "M" || unit == "m" ? 1ull << 20
                                                                        : unit == "G" || unit == "g" ? 1ull << 30 : 0;
    if (factor == 0 || number > (1ull << 40) / factor) return false;
    out = number * factor;
    return true;
}

// "2.5.0": three numbers.
bool parse_version(const std::string& text, ovix::FirmwareVersion& out) {
    int32_t parts[3];
    int used = 0;
    if (std::sscanf(text.c_str(), "%d.%d.%d%n", &parts[0], &parts[1], &parts[2], &used) != 3 || used != static_cast<int>(text.size()))
        return false;
    out = ovix::FirmwareVersion{parts[0], parts[1], parts[2]};
    return true;
}

int make_firmware(const FirmwareOptions& options) {
    ovix::FirmwareRecipe recipe;
    char* end = nullptr;
    errno = 0;
    const long long board = std::strtoll(options.board_type.c_str(), &end, 0);
    if (options.board_type.empty() || *end != '\0' || errno != 0 || board < INT32_MIN || board > UINT32_MAX) {
        std::fprintf(stderr, "fleetset-sim mkfw: --board-type: expected a number such as 0x3516, got \"%s\"\n", options.board_type.c_str());
        return 2;
    }
    if (!parse_version(options.version, recipe.version)) {
        std::fprintf(stderr, "fleetset-sim mkfw: --version: expected major.minor.build such as 2.5.0, got \"%s\"\n", options.version.c_str());
        return 2;
    }
    if (!parse_size(options.size, recipe.image_length)) {
        std::fprintf(stderr, "fleetset-sim mkfw: --size: expected bytes with an optional K, M or G, got \"%s\"\n", options.size.c_str());
        return 2;
    }
    recipe.board_type = board_type_text(static_cast<int32_t>(static_cast<uint32_t>(board)));
    recipe.seed = options.seed;
    recipe.description = options.description.empty() ? "fleetset-sim firmware " + options.version : options.description;
    if (ovix::make_firmware_file(options.out, recipe) != 0) {
        std::fprintf(stderr, "fleetset-sim mkfw: cannot write %s: %s\n", options.out.c_str(), std::strerror(errno));
        return 1;
    }
    std::printf("%s: firmware %s for board %s, image %llu bytes\n", options.out.c_str(), ovix::version_text(recipe.version).c_str(),
                recipe.board_type.c_str(), static_cast<unsigned long long>(recipe.image_length));
    return 0;
}

FleetConfig fleet_from(const Options& options, const CLI::App& app) {
    FleetPlan plan;
    if (!options.config_file.empty()) plan = load_fleet_plan(options.config_file);
    // Flags given on the command line override the file.
    if (app.count("--count")) plan.generate = options.count;
    if (app.count("--demo-mix")) plan.demo_mix = true;
    if (app.count("--fault-mix")) plan.fault_mix = options.fault_mix_seed;
    if (app.count("--reply")) plan.fleet.reply_mode = options.reply == "unicast" ? ReplyMode::Unicast : ReplyMode::Broadcast;
    if (app.count("--spread")) plan.fleet.reply_spread_ms = options.spread_ms;
    if (app.count("--device-port")) plan.fleet.device_port = options.device_port;
    if (app.count("--tool-port")) plan.fleet.tool_port = options.tool_port;
    plan.fleet.log_traffic = options.verbose;
    // Before the mix, which gives some generated cameras other protocols.
    if (app.count("--onvif")) plan.device_defaults.onvif.protocols = CameraProtocols::Onvif;
    if (app.count("--protocols")) plan.device_defaults.onvif.protocols = read_protocols(options.protocols, "--protocols");
    FleetConfig fleet = build_fleet(plan);
    for (CameraConfig& camera : fleet.cameras) {
        if (app.count("--admin-password")) {
            if (camera.device.users.empty()) camera.device.users.push_back(CameraUser{"Admin", ""});
            camera.device.users.front().password = options.admin_password;
        }
        if (app.count("--reboot-ms")) camera.device.reboot_ms = options.reboot_ms;
    }
    return fleet;
}

std::string describe(const FleetConfig& fleet) {
    std::string text = std::to_string(fleet.cameras.size()) + (fleet.cameras.size() == 1 ? " camera" : " cameras") +
                       " answering on UDP " + std::to_string(fleet.device_port) + " and their command ports, replies by ";
    if (fleet.reply_mode == ReplyMode::Broadcast)
        text += "broadcast to " + fleet.broadcast_address + ":" + std::to_string(fleet.tool_port);
    else
        text += "unicast to the requesting tool";
    const auto onvif = std::count_if(fleet.cameras.begin(), fleet.cameras.end(),
                                     [](const CameraConfig& c) { return speaks_onvif(c.device.onvif.protocols); });
    if (onvif > 0)
        text += "; " + std::to_string(onvif) + " of them speak ONVIF: WS-Discovery on UDP 3702, device service at http://<address>/onvif/device_service";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{"A fleet of simulated cameras that answers fleetset's discovery and device SDK. Run it inside scripts/netlab.sh."};
    app.set_version_flag("--version", "fleetset-sim " FLEETSET_VERSION);
    app.add_option("--config", options.config_file, "JSON fleet description (see docs/simulator.md)")->check(CLI::ExistingFile);
    app.add_option("--count", options.count, "Default cameras to generate: MACs 00:1A:2B:00:00:01 up, addresses 10.77.1.1 up")
        ->check(CLI::Range(size_t{1}, max_generated_cameras()));
    app.add_option("--reply", options.reply, "How cameras answer: broadcast (default) or unicast")
        ->check(CLI::IsMember({"broadcast", "unicast"}));
    app.add_flag("--demo-mix", options.demo_mix, "Give the generated cameras varied types, versions, ports and protocols");
    app.add_flag("--onvif", options.onvif, "The generated cameras speak ONVIF only");
    app.add_option("--protocols", options.protocols, "What the generated cameras speak: own (default), onvif or both")
        ->check(CLI::IsMember({"own", "onvif", "both"}));
    app.add_option("--fault-mix", options.fault_mix_seed, "Give the generated cameras a soak test's faults, ONVIF ones too where they speak it, chosen by this seed");
    app.add_option("--spread", options.spread_ms, "Spread the fleet's answers to one request over this many ms")->check(CLI::Range(0, 600000));
    app.add_option("--device-port", options.device_port, "UDP port the cameras listen on")->check(CLI::Range(1, 65535));
    app.add_option("--tool-port", options.tool_port, "UDP port broadcast replies go to")->check(CLI::Range(1, 65535));
    app.add_flag("-v,--verbose", options.verbose, "Log every request and address change");
    app.add_flag("--codec-log", options.codec_log, "Also pass on the message codec's diagnostic lines");
    app.add_option("--admin-password", options.admin_password, "Password of every camera's Admin account (tevoq for the factory test station)")
        ->check([](const std::string& text) { return text.size() > 31 ? std::string("at most 31 characters") : std::string(); });
    app.add_option("--reboot-ms", options.reboot_ms, "How long a rebooting camera stays silent, in ms")->check(CLI::Range(0, 600000));
    app.add_option("--record-file", options.record_file, "Write what the cameras received as JSON here on SIGUSR1 and at exit");

    FirmwareOptions firmware;
    CLI::App* mkfw = app.add_subcommand("mkfw", "Write a firmware file for the simulated cameras (no lab needed)");
    mkfw->add_option("--out", firmware.out, "File to write")->required();
    mkfw->add_option("--version", firmware.version, "Version major.minor.build, e.g. 2.5.0")->required();
    mkfw->add_option("--board-type", firmware.board_type, "Board type the cameras must have, e.g. 0x3516 (default)");
    mkfw->add_option("--size", firmware.size, "Image length: bytes, or with K, M or G, e.g. 16M (default 1M)");
    mkfw->add_option("--seed", firmware.seed, "Seed of the pseudo-random image (default 1)");
    mkfw->add_option("--description", firmware.description, "Description text in the header");
    app.require_subcommand(0, 1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help exits with 0; every bad flag with the same code as a bad file.
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (mkfw->parsed()) return make_firmware(firmware);

    // The codec reports every field it decodes; a fleet answering sweeps would drown its own
    // lines in them, so by default only the simulator's lines get through.
    if (!options.codec_log)
        set_debug_log_sink([](std::string_view line) {
            if (line.rfind("[sim]", 0) == 0) std::fwrite(line.data(), 1, line.size(), stderr);
        });
    else
        set_debug_log_enabled(true);

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
    sigaddset(&stop_signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    raise_open_file_limit();
    SimFleet fleet(config);
    if (!fleet.start()) {
        std::fprintf(stderr, "fleetset-sim: could not start (see the lines above)\n");
        return 1;
    }
    std::printf("fleetset-sim: %s\n", describe(config).c_str());
    std::fflush(stdout);

    const auto write_record = [&] {
        if (!options.record_file.empty() && !write_fleet_record(fleet.cameras(), options.record_file))
            std::fprintf(stderr, "fleetset-sim: cannot write %s\n", options.record_file.c_str());
    };
    // SIGUSR1 asks for the record now; the stop signals end the run.
    for (int received = 0; sigwait(&stop_signals, &received) == 0 && received == SIGUSR1;) write_record();
    fleet.stop();
    write_record();
    return 0;
}
