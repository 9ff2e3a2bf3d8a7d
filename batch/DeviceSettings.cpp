#include "batch/DeviceSettings.h"

#include "foundation/debug_log.h"

#include <cstdlib>

namespace {
constexpr int32_t kFamily1VideoStandard = 5;
constexpr int kTimeZoneOffsetIndex = 12;
constexpr int32_t kSecondsPerHour = 3600;
constexpr const char* kJobFile = "fleetsetDlg";

void logged(const char* format, auto value) {
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log(format, value);
}
} // namespace

void fill_settings(DeviceSettings& s, const JobSteps& steps, const StepInputs& inputs, bool is_type1) {
    if (is_type1) s.video_standard = kFamily1VideoStandard;
    if (steps.change_video_standard && !is_type1) {
        s.video_standard = inputs.video_standard_index() + 1;
        s.requested = true;
        logged("-------customer_cfg.video_standard=%d \n", *s.video_standard);
    }
    if (steps.change_time_zone) {
        s.time_zone = (inputs.time_zone_index() - kTimeZoneOffsetIndex) * kSecondsPerHour;
        s.requested = true;
        logged("-------customer_cfg.time_zone=%d \n", *s.time_zone);
    }
    if (steps.change_time_format) {
        s.time_format = inputs.time_format_index();
        s.requested = true;
        logged("-------customer_cfg.time_format=%d \n", *s.time_format);
    }
    if (steps.change_dhcp) {
        s.dhcp_enable = inputs.dhcp_enabled() ? 1 : 0;
        s.requested = true;
        logged("-------customer_cfg.dhcp_enable=%d \n", *s.dhcp_enable);
    }
    if (steps.change_language) {
        s.language = inputs.language_index();
        s.requested = true;
        logged("-------customer_cfg.language=%d \n", *s.language);
    }
    if (steps.change_password && !is_type1) {
        s.password = inputs.default_password();
        s.requested = true;
        // The password itself stays out of the log.
        logged("-------customer_cfg.password=%s \n", "********");
    }
    if (steps.change_max_wifi_ch && !is_type1) {
        s.wifi_ch_max = std::atoi(inputs.max_wifi_channel().c_str());
        s.requested = true;
        logged("-------customer_cfg.wifi_ch_max=%d \n", *s.wifi_ch_max);
    }
    if (steps.change_deafult_ch && !is_type1) {
        s.wifi_ch_default = std::atoi(inputs.default_wifi_channel().c_str());
        s.requested = true;
        logged("-------customer_cfg.wifi_ch_default=%d \n", *s.wifi_ch_default);
    }
}
