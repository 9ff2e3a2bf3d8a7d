// The ONVIF device port: logins, address changes verified at the new address, the clock read
// back, the settings ONVIF has calls for, and the factory reset.
#include "batch/OnvifPort.h"

#include "batch/BatchJob.h"
#include "batch/DeviceTable.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"
#include "onvif/TimeZone.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <ctime>

namespace {

constexpr const char* kFile = "OnvifPort";
constexpr int64_t kClockToleranceS = 2;
// A camera moves once it has answered; one that reboots for it is given the reconnect budget.
constexpr int64_t kMoveBudgetMs = 10000;
constexpr int64_t kMoveRebootBudgetMs = 90000;
constexpr int64_t kLookPauseMs = 500;
constexpr int64_t kPauseSliceMs = 100;

// The interface that holds the address the camera was reached at, else the first.
const onvif::NetworkInterface* interface_at(const std::vector<onvif::NetworkInterface>& interfaces,
                                            const std::string& host) {
    for (const onvif::NetworkInterface& nic : interfaces) {
        const auto current = nic.current_address();
        if (current && current->address == host) return &nic;
    }
    return interfaces.empty() ? nullptr : &interfaces.front();
}

} // namespace

StepOutcome onvif_outcome(const onvif::Result& result) {
    switch (result.status) {
    case onvif::Status::ok: return StepOutcome::Done;
    case onvif::Status::busy: return StepOutcome::Busy;
    case onvif::Status::not_supported: return StepOutcome::Unsupported;
    default: return StepOutcome::Failed;
    }
}

std::string url_host(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t end = url.find_first_of(":/", start);
    return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string with_host(const std::string& url, const std::string& host) {
    const size_t scheme = url.find("://");
    const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t end = url.find_first_of(":/", start);
    return url.substr(0, start) + host + (end == std::string::npos ? std::string() : url.substr(end));
}

int mask_prefix(const std::string& mask) {
    in_addr parsed{};
    if (inet_pton(AF_INET, mask.c_str(), &parsed) != 1) return -1;
    const uint32_t bits = ntohl(parsed.s_addr);
    int prefix = 0;
    while (prefix < 32 && (bits & (0x80000000u >> prefix))) ++prefix;
    // Ones after the first zero make no subnet.
    if (prefix < 32 && (bits << prefix) != 0) return -1;
    return prefix;
}

OnvifPort::OnvifPort(DeviceTable& devices, const WorkerContext& context, StepReporter& reporter, OnvifTarget target,
                     std::unique_ptr<CameraFinder> finder, TransportMaker transport)
    : m_devices(devices), m_context(context), m_reporter(reporter), m_target(std::move(target)),
      m_finder(std::move(finder)), m_transport(std::move(transport)), m_password(m_context.password),
      m_xaddr(m_target.xaddr) {}

OnvifPort::~OnvifPort() = default;

std::unique_ptr<onvif::DeviceClient> OnvifPort::client_at(const std::string& xaddr) const {
    return std::make_unique<onvif::DeviceClient>(xaddr, m_context.user, m_password,
                                                  m_transport ? m_transport() : std::make_unique<onvif::CurlTransport>());
}

LoginResult OnvifPort::login(const std::string& address) {
    return login_at(address.empty() ? m_xaddr : with_host(m_xaddr, address));
}

// A login is a call that needs one: GetDeviceInformation. A busy or silent camera is not
// logged in, and the engine tries again; refused credentials end the device.
LoginResult OnvifPort::login_at(const std::string& xaddr) {
    m_client.reset();
    auto client = client_at(xaddr);
    onvif::DeviceInformation information;
    const onvif::Result result = client->get_device_information(information);
    DEBUG_LOCATION(kFile, "OnvifPort::login");
    debug_log("device index %d login at %s: %s\n", m_context.row, xaddr.c_str(), onvif::describe(result).c_str());
    if (!result.ok()) {
        const int32_t code = result.http_status ? result.http_status : -1;
        return {code, result.status == onvif::Status::not_authorized ? LoginRefusal::WrongUser : LoginRefusal::None};
    }
    m_xaddr = xaddr;
    m_client = std::move(client);
    return {0, LoginRefusal::None};
}

// Needs no login of the engine's (it comes before any): the request logs in itself. Later
// requests of the same phase find the camera moved already and only say so.
bool OnvifPort::change_address(bool fixed) {
    const StepInputs& inputs = *m_context.inputs;
    const std::string address = fixed ? inputs.fixed_ip() : m_context.new_ip;
    if (address.empty()) return false;
    if (address == m_moved_to) return true;
    auto client = client_at(m_xaddr);
    std::vector<onvif::NetworkInterface> interfaces;
    const onvif::NetworkInterface* nic = nullptr;
    if (client->get_network_interfaces(interfaces).ok()) nic = interface_at(interfaces, url_host(m_xaddr));
    if (!nic) return false;
    const auto current = nic->current_address();
    const int prefix = fixed ? mask_prefix(inputs.subnet_mask()) : (current ? current->prefix_length : -1);
    if (prefix < 1) return false;
    // The gateway first: the camera leaves its old address once the interface is answered.
    if (fixed && !inputs.gateway().empty() && !client->set_network_default_gateway(inputs.gateway()).ok()) return false;
    bool reboot_needed = false;
    const onvif::Result set =
        client->set_network_interfaces({nic->token, true, false, onvif::Ipv4Address{address, prefix}}, reboot_needed);
    DEBUG_LOCATION(kFile, "OnvifPort::change_address");
    debug_log("device index %d to %s/%d: %s, reboot %d\n", m_context.row, address.c_str(), prefix,
              onvif::describe(set).c_str(), static_cast<int>(reboot_needed));
    if (!set.ok()) return false;
    std::string message;
    if (reboot_needed && !client->system_reboot(message).ok()) return false;
    if (!arrived_at(address, reboot_needed ? kMoveRebootBudgetMs : kMoveBudgetMs)) return false;
    m_moved_to = address;
    m_xaddr = with_host(m_xaddr, address);
    // No discovery of ours hears an ONVIF camera move: its row learns it here.
    m_devices.set_cell(static_cast<size_t>(m_context.row), COL_IP, address);
    return true;
}

// The camera answers at the address with its own UUID.
bool OnvifPort::arrived_at(const std::string& address, int64_t budget_ms) {
    const int64_t deadline = Clock::now_ms() + budget_ms;
    const auto stopped = [this] { return !m_context.running(); };
    while (m_context.running() && Clock::now_ms() < deadline) {
        if (url_host(m_finder->find(m_target.uuid, address, stopped)) == address) return true;
        if (!pause(kLookPauseMs)) break;
    }
    return false;
}

// To this machine's clock: Manual, UTC and this machine's offset as the TZ, then read back.
StepOutcome OnvifPort::sync_clock() {
    if (!m_client) return StepOutcome::Failed;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const onvif::Result set =
        m_client->set_system_date_and_time({now, onvif::posix_tz(static_cast<int32_t>(local.tm_gmtoff)), false});
    if (!set.ok()) return onvif_outcome(set);
    onvif::SystemDateAndTime clock;
    const onvif::Result read = m_client->read_clock(&clock);
    if (!read.ok()) return onvif_outcome(read);
    const int64_t off = clock.utc_seconds - static_cast<int64_t>(std::time(nullptr));
    DEBUG_LOCATION(kFile, "OnvifPort::sync_clock");
    debug_log("device index %d clock set, %lld s off when read back\n", m_context.row, static_cast<long long>(off));
    return std::llabs(off) <= kClockToleranceS ? StepOutcome::Done : StepOutcome::Failed;
}

bool OnvifPort::can_do_any(const JobSteps& steps) const { return onvif_can_do_any(steps); }

bool onvif_can_do_any(const JobSteps& steps) {
    return steps.need_update || steps.change_time_sync || steps.change_time_zone || steps.change_dhcp ||
           steps.change_password || steps.restore_factory_settings;
}

// The fields ONVIF has calls for are applied; busy ends the step at once, for the pass to
// send the record again. Any field it cannot set makes the step Unsupported (never Done), a
// failed one Failed. The DHCP change goes last, as it may reboot the camera.
StepOutcome OnvifPort::apply_settings(const DeviceSettings& settings) {
    const bool settable = settings.time_zone || settings.password || settings.dhcp_enable;
    bool unsupported = settings.video_standard || settings.time_format || settings.language ||
                       settings.wifi_ch_max || settings.wifi_ch_default;
    if (!settable) return unsupported ? StepOutcome::Unsupported : StepOutcome::Done;
    if (!m_client) return StepOutcome::Failed;
    bool failed = false;
    const auto take = [&](StepOutcome outcome) {
        failed = failed || outcome == StepOutcome::Failed;
        unsupported = unsupported || outcome == StepOutcome::Unsupported;
        return outcome == StepOutcome::Busy;
    };
    if (settings.time_zone && take(set_time_zone(*settings.time_zone))) return StepOutcome::Busy;
    if (settings.password && take(set_password(*settings.password))) return StepOutcome::Busy;
    // A new password that failed its proof leaves no login for the rest.
    if (settings.dhcp_enable && !m_client) failed = true;
    else if (settings.dhcp_enable && take(set_dhcp(*settings.dhcp_enable != 0))) return StepOutcome::Busy;
    if (failed) return StepOutcome::Failed;
    return unsupported ? StepOutcome::Unsupported : StepOutcome::Done;
}

// The login user's own password, proved by a login with it before the job's later steps
// (and passes) use it. A camera that took it but refuses it has locked the job out: Failed.
StepOutcome OnvifPort::set_password(const std::string& password) {
    const StepOutcome set = onvif_outcome(m_client->set_user_password(m_context.user, password));
    if (set != StepOutcome::Done) return set;
    const std::string before = m_password;
    m_password = password;
    const LoginResult proof = login_at(m_xaddr);
    DEBUG_LOCATION(kFile, "OnvifPort::set_password");
    debug_log("device index %d new password set, login with it: %d\n", m_context.row, proof.code);
    if (m_client) return StepOutcome::Done;
    // Not refused: the camera may still be applying it; the next login uses the new one.
    if (proof.refusal != LoginRefusal::None) m_password = before;
    return StepOutcome::Failed;
}

// The zone alone: the camera keeps its own time, sent back to it as the login read it. The zone
// is not read back: cameras write it back in their own ways ("GMT+08:00" for 8 hours east is
// common), which would fail a zone that took.
StepOutcome OnvifPort::set_time_zone(int32_t seconds_east) {
    const int64_t camera_utc = static_cast<int64_t>(std::time(nullptr)) + m_client->clock_offset();
    return onvif_outcome(m_client->set_system_date_and_time({camera_utc, onvif::posix_tz(seconds_east), false}));
}

// The interface keeps its manual address for when DHCP is turned off again.
StepOutcome OnvifPort::set_dhcp(bool on) {
    std::vector<onvif::NetworkInterface> interfaces;
    const onvif::Result read = m_client->get_network_interfaces(interfaces);
    if (!read.ok()) return onvif_outcome(read);
    const onvif::NetworkInterface* nic = interface_at(interfaces, url_host(m_xaddr));
    if (!nic) return StepOutcome::Failed;
    onvif::InterfaceSetting setting{nic->token, true, on, std::nullopt};
    if (!nic->manual.empty()) setting.manual = nic->manual.front();
    bool reboot_needed = false;
    const onvif::Result set = m_client->set_network_interfaces(setting, reboot_needed);
    if (!set.ok() || !reboot_needed) return onvif_outcome(set);
    std::string message;
    return onvif_outcome(m_client->system_reboot(message));
}

// Soft unless the job asks for hard: soft keeps what the camera needs to stay reachable.
StepOutcome OnvifPort::factory_reset() {
    if (!m_client) return StepOutcome::Failed;
    const bool hard = m_context.inputs->factory_reset_hard();
    return onvif_outcome(m_client->set_system_factory_default(hard ? onvif::FactoryDefault::hard : onvif::FactoryDefault::soft));
}

std::string OnvifPort::expected_version() const {
    const std::string header = BatchJob::own_header_version(m_context.upgrade_file);
    return header.empty() ? m_target.expected_version : header;
}

bool OnvifPort::pause(int64_t ms) const {
    while (ms > 0 && m_context.running()) {
        const int64_t slice = ms < kPauseSliceMs ? ms : kPauseSliceMs;
        Clock::sleep_ms(slice);
        ms -= slice;
    }
    return m_context.running();
}
