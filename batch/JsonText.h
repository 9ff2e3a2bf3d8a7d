#pragma once
#include <nlohmann/json.hpp>

#include <string>

// Every JSON document fleetset hands out, written the same way: two-space indent, keys in
// the order given, a final line break. Device texts are whatever a device sent, so invalid
// UTF-8 is replaced rather than failing the whole document.
inline std::string json_document(const nlohmann::ordered_json& value) {
    return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
