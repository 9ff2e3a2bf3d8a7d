#pragma once
#include "sim/SimCamera.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// What the cameras received, as JSON for black-box checks (format in docs/simulator.md).
nlohmann::json camera_record_json(const SimCamera& camera);
nlohmann::json fleet_record_json(const std::vector<SimCamera*>& cameras);

// Writes the fleet's record to path through a temporary file, so that a reader never sees
// half of it. False when it cannot be written.
bool write_fleet_record(const std::vector<SimCamera*>& cameras, const std::string& path);
