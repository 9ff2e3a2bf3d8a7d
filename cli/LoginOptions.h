#pragma once
#include <string>

namespace CLI { class App; }

// The options shared by the commands that reach cameras.
//
// The login of the commands that log in to cameras (run, discover): --user and
// --password-file; a password is never taken from the command line, where every user of the
// machine could read it.
void add_login_options(CLI::App& cmd, std::string& user, std::string& password_file);

// --probe-range FIRST-LAST of the commands that look for ONVIF cameras (run, discover).
void add_probe_range_option(CLI::App& cmd, std::string& range, const char* group = nullptr);

// The password from password_file when one is named (false when it cannot be read), else
// from FLEETSET_PASSWORD, else empty. given, when asked, says whether either supplied one.
bool resolve_login_password(const std::string& password_file, std::string& password, bool* given = nullptr);
