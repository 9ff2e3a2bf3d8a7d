// The steps besides the upgrade and the logo: the address requests through discovery, and
// with the device logged in the shell command, clock, settings record, cloud UID and resets.
#include "batch/BatchJob.h"

#include "batch/BatchJobWorker.h"
#include "discovery/Discovery.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr int32_t kAfterClockWriteMs = 100;
constexpr int32_t kFamily1ClockProfile = 5;
constexpr int32_t kFamily1VideoStandard = 5;
constexpr int kTimeZoneOffsetIndex = 12;
constexpr int32_t kSecondsPerHour = 3600;

// Copies text into a fixed field when it fits with its terminator; false (field left
// alone) when it does not.
bool copy_field(char (&field)[kDiscoveryTextSize], const std::string& text) {
    if (text.size() >= kDiscoveryTextSize - 1) return false;
    std::memcpy(field, text.c_str(), text.size() + 1);
    return true;
}

void copy_cut(char (&field)[kDiscoveryTextSize], const std::string& text) {
    std::snprintf(field, sizeof field, "%s", text.c_str());
}

} // namespace

bool BatchJob::change_address(Worker& w, bool fixed) {
    NETWORK_INFO_REQUEST request{};
    copy_cut(request.dev_mac, w.mac);
    copy_cut(request.new_dev_ip, m_new_ip[static_cast<size_t>(w.thrd_index)]);
    if (!fixed) return m_discovery.ChangeIpPort(&request) == RC_OK;
    copy_field(request.new_dev_ip, m_inputs.fixed_ip());
    copy_field(request.new_dev_submask, m_inputs.subnet_mask());
    copy_field(request.new_dev_gateway, m_inputs.gateway());
    return m_discovery.ChangeIp(&request) == RC_OK;
}

StepOutcome BatchJob::command_step(Worker& w) {
    char command[OVIX_SHELL_COMMAND_SIZE] = {};
    std::snprintf(command, sizeof command, "%s", m_inputs.command_text().c_str());
    return outcome_of(Network_ClientSetDeviceConfig(w.device_handle, OVIX_CMD_SHELL, 0, command, sizeof command));
}

StepOutcome BatchJob::uid_step(Worker& w) {
    char command[OVIX_SHELL_COMMAND_SIZE] = {};
    std::snprintf(command, sizeof command, "echo %s >/config/tuya.cfg", m_inputs.uid_text().c_str());
    return outcome_of(Network_ClientSetDeviceConfig(w.device_handle, OVIX_CMD_SHELL, 0, command, sizeof command));
}

StepOutcome BatchJob::clock_step(Worker& w) {
    ovix_clock clock{};
    const int32_t read = Network_ClientGetDeviceConfig(w.device_handle, OVIX_CMD_GET_CLOCK, 0, &clock, sizeof clock);
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("### upgrade proc tag 333: index = %d, ret = %d \n", w.row, read);
    if (read != OVIX_OK) return outcome_of(read);

    ovix_clock copy = clock;
    if (w.is_type1) copy.profile = kFamily1ClockProfile;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    copy.year = local.tm_year + 1900;
    copy.month = local.tm_mon + 1;
    copy.day = local.tm_mday;
    copy.hour = local.tm_hour;
    copy.minute = local.tm_min;
    copy.second = local.tm_sec;
    const int32_t written = Network_ClientSetDeviceConfig(w.device_handle, OVIX_CMD_SET_CLOCK, 0, &copy, sizeof copy);
    Clock::sleep_ms(kAfterClockWriteMs);
    return outcome_of(written);
}

void BatchJob::fill_customer_cfg(Worker& w) {
    ::customer_cfg& cfg = w.customer_cfg;
    const auto logged = [](const char* format, auto value) {
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log(format, value);
    };
    if (w.is_type1) {
        cfg.apply_video_standard = 1;
        cfg.video_standard = kFamily1VideoStandard;
    }
    if (m_dostep.change_video_standard && !w.is_type1) {
        cfg.apply_video_standard = 1;
        cfg.video_standard = m_inputs.video_standard_index() + 1;
        w.need_set_customer_cfg = true;
        logged("-------customer_cfg.video_standard=%d \n", cfg.video_standard);
    }
    if (m_dostep.change_time_zone) {
        cfg.apply_time_zone = 1;
        cfg.time_zone = (m_inputs.time_zone_index() - kTimeZoneOffsetIndex) * kSecondsPerHour;
        w.need_set_customer_cfg = true;
        logged("-------customer_cfg.time_zone=%d \n", cfg.time_zone);
    }
    if (m_dostep.change_time_format) {
        cfg.apply_time_format = 1;
        cfg.time_format = m_inputs.time_format_index();
        w.need_set_customer_cfg = true;
        logged("-------customer_cfg.time_format=%d \n", cfg.time_format);
    }
    if (m_dostep.change_dhcp) {
        cfg.apply_dhcp_enable = 1;
        cfg.dhcp_enable = m_inputs.dhcp_enabled() ? 1 : 0;
        w.need_set_customer_cfg = true;
        logged("-------customer_cfg.dhcp_enable=%d \n", cfg.dhcp_enable);
    }
    if (m_dostep.change_language) {
        cfg.apply_language = 1;
        cfg.language = m_inputs.language_index();
        w.need_set_customer_cfg = true;
        logged("-------customer_cfg.language=%d \n", cfg.language);
    }
    if (m_dostep.change_password && !w.is_type1) {
        cfg.apply_password = 1;
        std::memset(cfg.password, 0, sizeof cfg.password);
        std::snprintf(cfg.password, sizeof cfg.password, "%s", m_inputs.default_password().c_str());
        w.need_set_customer_cfg = true;
        // The password itself stays out of the log.
        logged("-------customer_cfg.password=%s \n", "********");
    }
    if (m_dostep.change_max_wifi_ch && !w.is_type1) {
        cfg.apply_wifi_ch_max = 1;
        cfg.wifi_ch_max = std::atoi(m_inputs.max_wifi_channel().c_str());
        w.need_set_customer_cfg = true;
        logged("-------customer_cfg.wifi_ch_max=%d \n", cfg.wifi_ch_max);
    }
    if (m_dostep.change_deafult_ch && !w.is_type1) {
        cfg.apply_wifi_ch_default = 1;
        cfg.wifi_ch_default = std::atoi(m_inputs.default_wifi_channel().c_str());
        w.need_set_customer_cfg = true;
        logged("-------customer_cfg.wifi_ch_default=%d \n", cfg.wifi_ch_default);
    }
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("CfleetsetDlg::  ThreadFunc  ---------------- need_set_customer_cfg=%d device_handle=%d\n",
              static_cast<int>(w.need_set_customer_cfg), w.device_handle);
}

StepOutcome BatchJob::settings_step(Worker& w) {
    const int32_t ret = Network_ClientSetDeviceConfig(w.device_handle, OVIX_CMD_CUSTOMER_CFG, 0, &w.customer_cfg,
                                                      sizeof w.customer_cfg);
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("-------------Network_ClientSetDeviceConfig  ---------------- nRet=%d \n", ret);
    return outcome_of(ret);
}

StepOutcome BatchJob::factory_step(Worker& w) { return control_step(w, OVIX_CTRL_FACTORY_RESET); }
StepOutcome BatchJob::reset_password_step(Worker& w) { return control_step(w, OVIX_CTRL_PASSWORD_RESET); }

StepOutcome BatchJob::control_step(Worker& w, int32_t control) {
    const int32_t ret = Network_ClientDeviceControl(w.device_handle, control, 0, 0, 0);
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("-------------Network_ClientSetDeviceConfig  ---------------- nRet=%d \n", ret);
    return outcome_of(ret);
}
