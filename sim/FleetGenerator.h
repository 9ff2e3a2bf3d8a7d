#pragma once
#include "sim/CameraConfig.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The default fleet: MACs "00:1A:2B:00:00:01" upward, addresses from 10.77.1.1 upward (host
// parts .0 and .255 skipped, everything inside 10.77.0.0/16 where the lab makes every address
// local), mask 255.255.0.0, gateway 10.77.0.254, the CameraConfig defaults otherwise.
constexpr uint32_t kFirstGeneratedAddress = (10u << 24) | (77u << 16) | (1u << 8) | 1u;   // 10.77.1.1
constexpr uint32_t kLastGeneratedAddress = (10u << 24) | (77u << 16) | (255u << 8) | 254u;  // 10.77.255.254

// How many cameras fit between the first and last generated address.
size_t max_generated_cameras();

// `count` new cameras whose MACs and addresses differ from those of `existing` and from each
// other. Throws std::length_error when they do not fit the address range.
std::vector<CameraConfig> generate_cameras(size_t count, const std::vector<CameraConfig>& existing = {});

// Gives a generated fleet variety for demonstrations, by position: device types 1, 2, 19,
// 200, 201, 233 in turn; three board types and four firmware versions in turn; every fifth
// camera on other ports; the fourth camera answers 800 ms late and the sixth has an empty
// version (the tool must ignore it). The second, fifth, eighth ... speak ONVIF too, the third,
// ninth, fifteenth ... ONVIF only.
void apply_demo_mix(std::vector<CameraConfig>& cameras);

// Gives generated cameras the device SDK faults of a soak test, chosen per camera by a
// shuffle seeded with `seed`: 10% answer set_config and device_control requests busy (17)
// with probability 0.3, 5% drop an upgrade transfer at 50%, 2% never come back from a reboot
// (shares rounded to whole cameras). Cameras that speak ONVIF get the same groups over ONVIF
// as well (busy_probability 0.3 on signed calls, uploads abandoned at 50%), and a further 2%
// of the shuffle come back from an upgrade on their old version if they speak ONVIF. No camera
// has two of them; the same seed and count give the same mix.
void apply_fault_mix(std::vector<CameraConfig>& cameras, uint64_t seed);
