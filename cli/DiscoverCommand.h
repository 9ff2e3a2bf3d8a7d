#pragma once
#include "cli/DeviceListFormat.h"

#include <string>

namespace CLI { class App; }

struct DiscoverOptions {
    double seconds = 3;
    std::string interface_address;  // empty: every local address
    DeviceListFormat format = DeviceListFormat::Table;
    bool onvif = true;               // WS-Discovery beside our own discovery
    std::string probe_range;         // "FIRST-LAST": ONVIF unicast probes, empty for none
    // The ONVIF login; without --user or a password the cameras are listed unread.
    std::string user = "Admin";
    std::string password_file;
    bool user_given = false;
};

// Adds "discover" to the program; the callback runs it and sets exit_code.
void add_discover_command(CLI::App& app, int& exit_code);

// Finds the devices for the given time and prints the table to standard output.
int run_discover(const DiscoverOptions& options);
