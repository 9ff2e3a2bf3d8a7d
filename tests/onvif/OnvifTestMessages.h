#pragma once
#include <fstream>
#include <iterator>
#include <string>

// The real-looking messages in tests/onvif/messages, which also seed the fuzz targets.
inline std::string onvif_message(const std::string& name) {
    std::ifstream in(std::string(ONVIF_MESSAGES) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
