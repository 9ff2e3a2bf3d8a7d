#pragma once
#include "batch/DevicePort.h"
#include "devsdk/ovix_client.h"

#include <array>
#include <atomic>
#include <random>
#include <string>

class CDiscovery;
class DeviceTable;
struct DEV_INFO;

// The device port over our own SDK (the Network_Client... calls) and our discovery
// protocol: the only place in the engine that talks to the SDK. The procedures are the
// device's own: the upgrade stage (OwnProtocolUpgrade.cpp), the logo chunks
// (OwnProtocolLogo.cpp), the settings record, clock bytes, shell commands and resets.
class OwnProtocolPort : public DevicePort {
public:
    // The reporter must outlive the port's use by its worker; the port itself
    // stays alive as long as its login's event callback may run (the job keeps it).
    OwnProtocolPort(CDiscovery& discovery, DeviceTable& devices, const WorkerContext& context,
                    StepReporter& reporter);
    ~OwnProtocolPort() override;
    OwnProtocolPort(const OwnProtocolPort&) = delete;
    OwnProtocolPort& operator=(const OwnProtocolPort&) = delete;

    bool change_address(bool fixed) override;
    LoginResult login(const std::string& address) override;
    bool logged_in() const override { return device_handle != -1; }
    int32_t handle() const override { return device_handle; }
    void logout() override;
    void upgrade(int32_t& passes_left) override;
    bool upgrade_complete() const override { return update_complete; }
    void read_back_version() override;
    std::string version_after() const override { return m_version_after; }
    StepOutcome send_logo(const std::string& path) override;
    StepOutcome run_command(const std::string& text) override;
    StepOutcome sync_clock() override;
    StepOutcome apply_settings(const DeviceSettings& settings) override;
    StepOutcome factory_reset() override;
    StepOutcome reset_password() override;

    static int32_t check_DeviceEvent(int32_t login_handle, const ovix_event* event, void* context);

private:
    void follow_transfer();
    bool wait_for_drop();
    void reboot_wait();
    void reconnect();
    bool fresh_record(DEV_INFO& record);
    int random_wait(int seconds);
    bool pause(int64_t ms);
    void add_wait_ticks(int ticks);
    StepOutcome control(int32_t command);

    CDiscovery& m_discovery;
    DeviceTable& m_devices;
    const WorkerContext m_context;
    StepReporter& m_reporter;

    // Names as in the worker's log lines.
    int32_t device_handle = -1;
    std::atomic<int32_t> m_dev_handle{-1};  // cleared by the dropped-login event
    int32_t upgrade_handle = -1;
    bool update_complete = false;
    std::array<bool, 3> count_stage{true, true, true};  // stages 0..2 counted at most once
    int32_t wait_ticks = 0;
    std::mt19937 m_random;         // a generator of its own: workers never share one
    std::string m_ip;              // where the device was last heard
    int64_t dropped_at_ms = -1;    // when the device went down for its reboot
    std::string m_version_after;   // read back after the reboot; empty until then
};

// The settings record as the device takes it: an apply flag and a value per set field.
::customer_cfg settings_record(const DeviceSettings& settings);

// Which SDK results refuse a login for good.
LoginRefusal login_refusal(int32_t sdk_result);

// The SDK's result as a step's outcome: its busy answer asks for the pass again.
StepOutcome outcome_of(int32_t sdk_result);
