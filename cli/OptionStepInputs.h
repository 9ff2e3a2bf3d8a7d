#pragma once
#include "batch/StepInputs.h"
#include "cli/RunOptions.h"

// The step inputs of a command-line job: the checked options, which stay as they are for
// the whole run, so workers read them without a lock.
class OptionStepInputs : public StepInputs {
public:
    explicit OptionStepInputs(const RunOptions& options) : m_options(options) {}

    std::string logo_file() const override { return m_options.logo_file; }
    std::string command_text() const override { return m_options.command; }
    std::string uid_text() const override { return m_options.uid; }
    int time_zone_index() const override { return m_options.time_zone_hours + 12; }
    int time_format_index() const override { return m_options.time_format; }
    int video_standard_index() const override { return m_options.video_standard; }
    int language_index() const override { return m_options.language_index; }
    bool dhcp_enabled() const override { return m_options.dhcp == "on"; }
    std::string default_password() const override { return m_options.device_password; }
    std::string max_wifi_channel() const override { return std::to_string(m_options.wifi_max_channel); }
    // The automatic entry is 0, which is also what the device is sent for it.
    std::string default_wifi_channel() const override { return std::to_string(m_options.wifi_default_channel); }
    std::string fixed_ip() const override { return m_options.fixed_ip; }
    std::string subnet_mask() const override { return m_options.subnet_mask; }
    std::string gateway() const override { return m_options.gateway; }
    bool factory_reset_hard() const override { return m_options.factory_reset_kind == "hard"; }

private:
    const RunOptions& m_options;
};
