#pragma once
#include "batch/JobInputs.h"
#include "batch/StepInputs.h"
#include "ui/batch/ControlIds.h"

// The step inputs as the batch window's controls hold them. The window copies every change
// of a control into JobInputs on its own thread; a worker reads the copy, never a widget.
class WindowStepInputs : public StepInputs {
public:
    explicit WindowStepInputs(const JobInputs& inputs) : m_inputs(inputs) {}

    std::string logo_file() const override { return m_inputs.text(batch_ids::LogoPathEdit); }
    std::string command_text() const override { return m_inputs.text(batch_ids::CommandEdit); }
    std::string uid_text() const override { return m_inputs.text(batch_ids::UidEdit); }
    int time_zone_index() const override { return m_inputs.index(batch_ids::TimeZoneCombo); }
    int time_format_index() const override { return m_inputs.index(batch_ids::TimeFormatCombo); }
    int video_standard_index() const override { return m_inputs.index(batch_ids::VideoStandardCombo); }
    int language_index() const override { return m_inputs.index(batch_ids::LanguageCombo); }
    bool dhcp_enabled() const override { return m_inputs.checked(batch_ids::DhcpCheck); }
    std::string default_password() const override { return m_inputs.text(batch_ids::DefaultPasswordEdit); }
    std::string max_wifi_channel() const override { return m_inputs.text(batch_ids::MaxChannelCombo); }
    std::string default_wifi_channel() const override { return m_inputs.text(batch_ids::DefaultChannelCombo); }
    std::string fixed_ip() const override { return m_inputs.text(batch_ids::IpAddressEdit); }
    std::string subnet_mask() const override { return m_inputs.text(batch_ids::SubmaskEdit); }
    std::string gateway() const override { return m_inputs.text(batch_ids::GatewayEdit); }

private:
    const JobInputs& m_inputs;
};
