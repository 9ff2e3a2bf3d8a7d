// The device port over our own SDK: the logins, the address requests through discovery,
// and with the device logged in the shell command, clock, settings record and resets.
#include "batch/OwnProtocolPort.h"

#include "batch/DeviceTable.h"
#include "devsdk/protocol/ClockRecord.h"
#include "discovery/Discovery.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr const char* kJobFile = "fleetsetDlg";
constexpr int32_t kAfterClockWriteMs = 100;
constexpr int32_t kFamily1ClockProfile = 5;

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

LoginRefusal login_refusal(int32_t result) {
    switch (result) {
    case OVIX_ERR_USER_UNKNOWN:
    case OVIX_ERR_PASSWORD: return LoginRefusal::WrongUser;
    case OVIX_ERR_USER_LIMIT: return LoginRefusal::UserLimit;
    case OVIX_ERR_REFUSED_NOW: return LoginRefusal::RefusedNow;
    default: return LoginRefusal::None;
    }
}

StepOutcome outcome_of(int32_t sdk_result) {
    if (sdk_result == OVIX_OK) return StepOutcome::Done;
    return sdk_result == OVIX_ERR_BUSY ? StepOutcome::Busy : StepOutcome::Failed;
}

OwnProtocolPort::OwnProtocolPort(CDiscovery& discovery, DeviceTable& devices, const WorkerContext& context,
                                 StepReporter& reporter)
    : m_discovery(discovery), m_devices(devices), m_context(context), m_reporter(reporter), m_ip(context.ip) {
    std::random_device seed;
    m_random.seed(seed() ^ static_cast<uint32_t>(context.slot));
}

OwnProtocolPort::~OwnProtocolPort() = default;

bool OwnProtocolPort::change_address(bool fixed) {
    NETWORK_INFO_REQUEST request{};
    copy_cut(request.dev_mac, m_context.mac);
    copy_cut(request.new_dev_ip, m_context.new_ip);
    if (!fixed) return m_discovery.ChangeIpPort(&request) == RC_OK;
    const StepInputs& inputs = *m_context.inputs;
    copy_field(request.new_dev_ip, inputs.fixed_ip());
    copy_field(request.new_dev_submask, inputs.subnet_mask());
    copy_field(request.new_dev_gateway, inputs.gateway());
    return m_discovery.ChangeIp(&request) == RC_OK;
}

LoginResult OwnProtocolPort::login(const std::string& address) {
    int32_t handle = -1;
    const int32_t result = Network_ClientLogin(&handle, address.c_str(), m_context.port, m_context.user.c_str(),
                                               m_context.password.c_str());
    if (result != OVIX_OK) handle = -1;
    device_handle = handle;
    m_dev_handle = handle;
    return {result, login_refusal(result)};
}

void OwnProtocolPort::logout() {
    Network_ClientLogout(device_handle);
    device_handle = -1;
    m_dev_handle = -1;
}

// The SDK's thread tells of a dropped login; the upgrade stage's drop wait watches for it.
int32_t OwnProtocolPort::check_DeviceEvent(int32_t login_handle, const ovix_event* event, void* context) {
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::check_DeviceEvent");
    debug_log("\n--- check_DeviceEvent   hDev=%d pEvent->main=%d -------- \n", login_handle,
              event ? static_cast<int>(event->main) : 0);
    if (!context || !event || event->main != OVIX_EVENT_LOGIN_DROPPED) return 0;
    auto* self = static_cast<OwnProtocolPort*>(context);
    int32_t expected = login_handle;
    self->m_dev_handle.compare_exchange_strong(expected, -1);
    return 0;
}

StepOutcome OwnProtocolPort::run_command(const std::string& text) {
    char command[OVIX_SHELL_COMMAND_SIZE] = {};
    std::snprintf(command, sizeof command, "%s", text.c_str());
    return outcome_of(Network_ClientSetDeviceConfig(device_handle, OVIX_CMD_SHELL, 0, command, sizeof command));
}

StepOutcome OwnProtocolPort::sync_clock() {
    ovix_clock clock{};
    const int32_t read = Network_ClientGetDeviceConfig(device_handle, OVIX_CMD_GET_CLOCK, 0, &clock, sizeof clock);
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("### upgrade proc tag 333: index = %d, ret = %d \n", m_context.row, read);
    if (read != OVIX_OK) return outcome_of(read);

    ovix_clock copy = clock;
    if (m_context.is_type1) copy.profile = kFamily1ClockProfile;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    set_clock_fields(copy, local);
    const int32_t written = Network_ClientSetDeviceConfig(device_handle, OVIX_CMD_SET_CLOCK, 0, &copy, sizeof copy);
    Clock::sleep_ms(kAfterClockWriteMs);
    return outcome_of(written);
}

::customer_cfg settings_record(const DeviceSettings& s) {
    ::customer_cfg cfg{};
    const auto put = [](int32_t& apply, int32_t& field, const std::optional<int32_t>& value) {
        if (!value) return;
        apply = 1;
        field = *value;
    };
    put(cfg.apply_video_standard, cfg.video_standard, s.video_standard);
    put(cfg.apply_time_zone, cfg.time_zone, s.time_zone);
    put(cfg.apply_time_format, cfg.time_format, s.time_format);
    put(cfg.apply_dhcp_enable, cfg.dhcp_enable, s.dhcp_enable);
    put(cfg.apply_language, cfg.language, s.language);
    if (s.password) {
        cfg.apply_password = 1;
        std::snprintf(cfg.password, sizeof cfg.password, "%s", s.password->c_str());
    }
    put(cfg.apply_wifi_ch_max, cfg.wifi_ch_max, s.wifi_ch_max);
    put(cfg.apply_wifi_ch_default, cfg.wifi_ch_default, s.wifi_ch_default);
    return cfg;
}

StepOutcome OwnProtocolPort::apply_settings(const DeviceSettings& settings) {
    ::customer_cfg cfg = settings_record(settings);
    const int32_t ret = Network_ClientSetDeviceConfig(device_handle, OVIX_CMD_CUSTOMER_CFG, 0, &cfg, sizeof cfg);
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("-------------Network_ClientSetDeviceConfig  ---------------- nRet=%d \n", ret);
    return outcome_of(ret);
}

StepOutcome OwnProtocolPort::factory_reset() { return control(OVIX_CTRL_FACTORY_RESET); }
StepOutcome OwnProtocolPort::reset_password() { return control(OVIX_CTRL_PASSWORD_RESET); }

StepOutcome OwnProtocolPort::control(int32_t command) {
    const int32_t ret = Network_ClientDeviceControl(device_handle, command, 0, 0, 0);
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("-------------Network_ClientSetDeviceConfig  ---------------- nRet=%d \n", ret);
    return outcome_of(ret);
}
