#pragma once
#include "sim/onvif/OnvifSide.h"

#include <nlohmann/json.hpp>

#include <string>

// The fleet file's ONVIF keys (docs/simulator.md): "protocols" ("own", "onvif", "both") and
// the "onvif" object, per fleet or per camera. `where` names the value in messages
// ("fleet.json: cameras[2].onvif"); a bad value throws ConfigError.
CameraProtocols read_protocols(const nlohmann::json& value, const std::string& where);
void read_onvif_side(const nlohmann::json& object, const std::string& where, OnvifSide& side);
const char* protocols_name(CameraProtocols protocols);
