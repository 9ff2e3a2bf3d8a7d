#pragma once
#include "sim/CameraConfig.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// A configuration that cannot be used; what() names the file, the place in it and the fault,
// e.g. "fleet.json: cameras[2].ip_address: expected a dotted IPv4 address, got \"10.77.1\"".
struct ConfigError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A fleet as described by a file and flags, before the generated cameras exist: the listed
// cameras and how many default cameras to add after them. The format is in docs/simulator.md.
struct FleetPlan {
    FleetConfig fleet;               // fleet-wide settings and the listed cameras
    size_t generate = 0;             // default cameras to add
    bool demo_mix = false;           // give the generated cameras variety
    std::optional<uint64_t> fault_mix;  // a seed: give the generated cameras a soak test's faults
    DiscoveryFaults generated_faults;  // the fleet-wide faults, for the generated cameras
    DeviceSide device_defaults;      // the fleet-wide device SDK settings: every camera starts from them
};

// Throws ConfigError. `origin` names the text in messages (the file name).
FleetPlan parse_fleet_plan(std::string_view json_text, const std::string& origin);
FleetPlan load_fleet_plan(const std::string& path);

// The listed cameras followed by the generated ones. Throws ConfigError for an empty fleet or
// one too large for the generated address range.
FleetConfig build_fleet(const FleetPlan& plan);
