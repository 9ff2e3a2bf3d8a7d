#pragma once
#include "batch/CameraFinder.h"
#include "batch/DevicePort.h"
#include "onvif/DeviceClient.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

class DeviceTable;

// Which ONVIF camera a worker works on, as the search found it.
struct OnvifTarget {
    std::string uuid;              // endpoint address, "urn:uuid:..."
    std::string xaddr;             // its device service
    std::string expected_version;  // what an upgrade must leave it on when the file has no header of ours
};

// The device port over ONVIF's device service (onvif::DeviceClient): logins, addresses
// (SetNetworkInterfaces, the gateway, a reboot when asked for), the clock and time zone,
// the login user's password (proved by logging in with it; later logins use it), a factory
// reset, and the firmware upgrade (OnvifUpgrade.cpp). A camera is
// found again by its UUID through the CameraFinder. What ONVIF has no call for (logo, shell
// command, cloud UID, video standard, time format, menu language, Wi-Fi channels, our
// password reset) is Unsupported.
class OnvifPort : public DevicePort {
public:
    using TransportMaker = std::function<std::unique_ptr<onvif::HttpTransport>()>;

    // transport: one per login; empty: libcurl.
    OnvifPort(DeviceTable& devices, const WorkerContext& context, StepReporter& reporter, OnvifTarget target,
              std::unique_ptr<CameraFinder> finder, TransportMaker transport = {});
    ~OnvifPort() override;
    OnvifPort(const OnvifPort&) = delete;
    OnvifPort& operator=(const OnvifPort&) = delete;

    bool change_address(bool fixed) override;
    LoginResult login(const std::string& address) override;
    bool logged_in() const override { return m_client != nullptr; }
    int32_t handle() const override { return m_client ? m_context.slot : -1; }
    void logout() override { m_client.reset(); }
    void upgrade(int32_t& passes_left) override;
    bool upgrade_complete() const override { return m_complete; }
    void read_back_version() override;
    std::string version_after() const override { return m_version_after; }
    std::string expected_version() const override;
    bool can_do_any(const JobSteps& steps) const override;
    StepOutcome send_logo(const std::string&) override { return StepOutcome::Unsupported; }
    StepOutcome run_command(const std::string&) override { return StepOutcome::Unsupported; }
    StepOutcome sync_clock() override;
    StepOutcome apply_settings(const DeviceSettings& settings) override;
    StepOutcome factory_reset() override;
    StepOutcome reset_password() override { return StepOutcome::Unsupported; }

private:
    std::unique_ptr<onvif::DeviceClient> client_at(const std::string& xaddr) const;
    LoginResult login_at(const std::string& xaddr);
    bool arrived_at(const std::string& address, int64_t budget_ms);
    StepOutcome set_dhcp(bool on);
    StepOutcome set_time_zone(int32_t seconds_east);
    StepOutcome set_password(const std::string& password);
    // The upgrade's parts.
    bool upload(int32_t& passes_left, int64_t& down_ms);
    void upload_refused(const onvif::UploadResult& result, int32_t& passes_left);
    void wait_down(int64_t ms);
    void reconnect(const std::string& last_address);
    void progress_once(int stage);
    bool pause(int64_t ms) const;

    DeviceTable& m_devices;
    const WorkerContext m_context;
    StepReporter& m_reporter;
    OnvifTarget m_target;
    std::unique_ptr<CameraFinder> m_finder;
    TransportMaker m_transport;

    std::string m_password;                       // the login's: a password step changes it
    std::string m_xaddr;                          // where the camera is now
    std::unique_ptr<onvif::DeviceClient> m_client;  // set while logged in
    std::string m_moved_to;                       // the address a change request verified
    bool m_complete = false;
    std::array<bool, 3> m_stage_counted{};        // progress stages 0..2 counted at most once
    std::string m_version_after;
};

// ONVIF has a call for one of these steps (the address steps aside).
bool onvif_can_do_any(const JobSteps& steps);
// A call's result as a step's outcome: busy asks for the pass again, a call the camera does
// not have is Unsupported.
StepOutcome onvif_outcome(const onvif::Result& result);
// The host of an http(s) URL, and the URL with another host (scheme, port and path kept).
std::string url_host(const std::string& url);
std::string with_host(const std::string& url, const std::string& host);
// A dotted-quad subnet mask's prefix length; -1 when it is no contiguous mask.
int mask_prefix(const std::string& mask);
