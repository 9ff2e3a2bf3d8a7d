#include "cli/RunChecks.h"

#include "batch/LaunchPlan.h"
#include "cli/LoginOptions.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

constexpr int kLanguages = 21;

bool same_text_ignoring_case(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

// The window's text, with what exactly is wrong: a script's author has no Browse button.
// A file without our header is another maker's image: only ONVIF cameras take it, and only
// a version given with it can tell whether the upgrade took.
std::string check_firmware(const RunOptions& options, const EnglishTexts& texts) {
    const std::string& path = options.upgrade_file;
    const std::string refusal = "--upgrade \"" + path + "\": " + texts.text("IDS_INVALID_UPGRADE_FILE");
    switch (check_firmware_path(path, true)) {
    case LaunchRefusal::None: return {};
    case LaunchRefusal::FirmwareMissing: return refusal + " (no such file)";
    case LaunchRefusal::FirmwareNoHeader:
        if (options.protocol == JobProtocol::own) return refusal + " (no readable version header)";
        if (options.expect_version.empty())
            return refusal + " (no readable version header): give --expect-version VERSION, the version the cameras "
                             "must report after the upgrade";
        return {};
    default: return refusal;
    }
}

// The command step must not end the device's session under the steps after it; alone it
// may say anything.
std::string check_command(const RunOptions& options) {
    JobSteps others = options.steps;
    others.send_command = 0;
    if (is_disruptive_command(options.command) && others.any())
        return "--command: a command containing \"reboot\" or \"top\" runs only as the job's one step";
    return {};
}

} // namespace

int language_index(const std::string& text, const EnglishTexts& texts) {
    if (!text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        const int index = text.size() <= 2 ? std::atoi(text.c_str()) : kLanguages;
        return index < kLanguages ? index : -1;
    }
    for (int i = 0; i < kLanguages; ++i)
        if (same_text_ignoring_case(text, texts.text("IDS_LANGUAGE_" + std::to_string(i)))) return i;
    return -1;
}

std::string check_run_options(RunOptions& options, const EnglishTexts& texts) {
    if (options.user.empty()) return "--user: " + texts.text("IDS_INPUT_USER_NAME");
    if (!options.steps.any())
        return "no step given: name at least one, for example --upgrade FILE or --time-zone HOURS (see --help)";
    if (!options.all && options.macs.empty() && options.ips.empty()) return "no devices named: use --all, --mac or --ip";
    if (options.steps.change_auto_ip) {
        const LaunchRefusal refusal = parse_address_range(options.ip_range, options.range);
        if (refusal != LaunchRefusal::None)
            return "--ip-range \"" + options.ip_range + "\": " + texts.text(launch_refusal_key(refusal));
    }
    if (options.steps.need_update) {
        if (std::string refusal = check_firmware(options, texts); !refusal.empty()) return refusal;
    }
    if (std::string refusal = check_command(options); !refusal.empty()) return refusal;
    if (options.steps.change_language) {
        options.language_index = language_index(options.language, texts);
        if (options.language_index < 0)
            return "--language \"" + options.language + "\": expected 0 to 20 or a language name such as " +
                   texts.text("IDS_LANGUAGE_2");
    }
    if (options.protocol == JobProtocol::own && !options.probe_range.empty())
        return "--probe-range looks for ONVIF cameras: leave out --protocol own";
    if (!resolve_login_password(options.password_file, options.password))
        return "--password-file \"" + options.password_file + "\": cannot be read";
    return {};
}
