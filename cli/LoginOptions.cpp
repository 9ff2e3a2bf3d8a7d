#include "cli/LoginOptions.h"

#include "onvif/WsdProber.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <fstream>
#include <iterator>

void add_login_options(CLI::App& cmd, std::string& user, std::string& password_file) {
    auto* login = "Login";
    cmd.add_option("--user", user, "Login user name")->capture_default_str()->group(login);
    cmd.add_option("--password-file", password_file,
                   "Read the login password from this file (else FLEETSET_PASSWORD, else empty)")
        ->check(CLI::ExistingFile)->group(login);
    // Refused with a reason rather than as an unknown flag.
    cmd.add_option("--password", "Not accepted: use --password-file or FLEETSET_PASSWORD")
        ->check(CLI::Validator(
            [](std::string&) { return std::string("not taken on the command line: use --password-file or FLEETSET_PASSWORD"); },
            ""))
        ->group(login);
}

void add_probe_range_option(CLI::App& cmd, std::string& range, const char* group) {
    auto* option = cmd.add_option("--probe-range", range,
                                  "Also probe each address FIRST-LAST for ONVIF cameras by unicast (behind a router; "
                                  "at most 65536)")
                       ->check(CLI::Validator(
                           [](std::string& text) {
                               onvif::ProbeRange parsed;
                               return onvif::parse_probe_range(text, parsed)
                                          ? std::string()
                                          : std::string("expected FIRST-LAST, two IPv4 addresses, at most 65536 apart");
                           },
                           ""))
                       ->type_name("FIRST-LAST");
    if (group) option->group(group);
}

bool resolve_login_password(const std::string& password_file, std::string& password, bool* given) {
    if (given) *given = false;
    if (!password_file.empty()) {
        std::ifstream file(password_file, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (!file.good() && !file.eof()) return false;
        // One trailing line break is the file's, not the password's.
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
        password = std::move(text);
        if (given) *given = true;
    } else if (const char* variable = std::getenv("FLEETSET_PASSWORD")) {
        password = variable;
        if (given) *given = true;
    }
    return true;
}
