// The ONVIF upgrade stage: StartFirmwareUpgrade, the file POSTed to the UploadUri, the
// camera's ExpectedDownTime waited out, the camera found again by its UUID (it may come back
// at another address), a new login and the version read back. A camera that takes no such
// upload gets the file as UpgradeSystemFirmware's attachment instead, and no down time of
// its own is known then.
#include "batch/BatchJob.h"
#include "batch/DeviceTable.h"
#include "batch/OnvifPort.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <algorithm>

namespace {

constexpr const char* kFile = "OnvifPort";
// A camera's own down time is believed up to this; its number never makes an endless wait.
constexpr int64_t kMaxDownMs = 10 * 60000;
constexpr int64_t kReconnectBudgetMs = 60000;
constexpr int64_t kReconnectRetryMs = 500;
constexpr int kDownWaitSlices = 4;  // progress stage 3 is counted once per slice
constexpr int kHttpUnsupportedMedia = 415;
constexpr int kHttpUnauthorized = 401;
constexpr int kHttpBusy = 503;
// The down time cameras commonly give for an upgrade, waited after UpgradeSystemFirmware.
constexpr int64_t kAttachmentDownMs = 60000;

// UpgradeSystemFirmware's result as the upload's, so that both end the same way.
onvif::UploadResult as_upload(const onvif::Result& result, bool stopped) {
    onvif::UploadResult upload;
    upload.text = onvif::describe(result);
    upload.http_status = result.http_status;
    if (result.ok()) return upload;
    upload.status = onvif::UploadStatus::refused;
    if (stopped) upload.status = onvif::UploadStatus::stopped;
    else if (result.status == onvif::Status::not_authorized) upload.http_status = kHttpUnauthorized;
    // A file we cannot read, or an image the camera calls invalid.
    else if (result.status == onvif::Status::bad_argument || result.http_status == kHttpUnsupportedMedia) upload.http_status = kHttpUnsupportedMedia;
    else if (result.status == onvif::Status::busy) upload.http_status = kHttpBusy;
    else upload.status = onvif::UploadStatus::dropped;
    return upload;
}

} // namespace

void OnvifPort::upgrade(int32_t& passes_left) {
    const std::string expected = expected_version();
    if (expected.empty()) {
        // No version to check the camera against: an upgrade that could only be taken on
        // trust is not begun (the front ends refuse such a launch before this).
        passes_left = 0;
        m_reporter.report(ST_INVALID_UPGRADE_FILE);
        return;
    }
    int64_t down_ms = 0;
    // A login over HTTP outlives a refused upload: the pass's other steps still run.
    if (!upload(passes_left, down_ms)) return;
    m_complete = true;
    progress_once(1);
    m_reporter.send(ST_WAIT_REBOOT);
    m_finder->watch(m_target.uuid);
    const std::string last_address = url_host(m_xaddr);
    logout();
    wait_down(down_ms);
    reconnect(last_address);
    progress_once(2);
    if (!m_client || !m_context.running()) return;
    read_back_version();
    // Otherwise the engine's verdict says why not.
    if (BatchJob::version_text_matches(expected, m_version_after)) m_reporter.report(ST_UPGRADE_OK);
}

// True when the whole file went out and the camera took it; down_ms is then its down time. A
// camera that lacks GetServiceCapabilities or StartFirmwareUpgrade (not_supported) is asked
// for UpgradeSystemFirmware.
bool OnvifPort::upload(int32_t& passes_left, int64_t& down_ms) {
    if (!m_client) return false;
    onvif::DeviceServiceCapabilities capabilities;
    const onvif::Result asked = m_client->get_service_capabilities(capabilities);
    DEBUG_LOCATION(kFile, "OnvifPort::upgrade");
    debug_log("device index %d capabilities: %s, http upload %d\n", m_context.row, onvif::describe(asked).c_str(),
              static_cast<int>(capabilities.http_firmware_upgrade));
    onvif::FirmwareUpgradeStart start;
    const bool http_upload = !asked.ok() || capabilities.http_firmware_upgrade;
    const onvif::Result started = !asked.ok() ? asked : http_upload ? m_client->start_firmware_upgrade(start) : onvif::Result{};
    if (!http_upload || started.status == onvif::Status::not_supported) {
        m_reporter.report(ST_IS_UPGRADE);
        progress_once(0);
        std::string message;
        const onvif::Result result =
            m_client->upgrade_system_firmware(m_context.upgrade_file, {{}, [this] { return !m_context.running(); }}, message);
        debug_log("device index %d UpgradeSystemFirmware: %s %s\n", m_context.row, onvif::describe(result).c_str(), message.c_str());
        if (result.status == onvif::Status::not_supported) {
            passes_left = 0;  // a camera that takes firmware neither way never will
            return false;
        }
        if (!result.ok()) {
            upload_refused(as_upload(result, !m_context.running()), passes_left);
            return false;
        }
        down_ms = kAttachmentDownMs;
        return true;
    }
    if (!started.ok()) {
        debug_log("device index %d upgrade start: %s\n", m_context.row, onvif::describe(started).c_str());
        if (passes_left == 0) return false;
        m_reporter.send(ST_UPGRADE_FAIL_RETRY_LATER);
        return false;
    }
    m_reporter.report(ST_IS_UPGRADE);
    progress_once(0);
    if (!pause(start.upload_delay_ms)) return false;
    const onvif::UploadWatch watch{{}, [this] { return !m_context.running(); }};
    const onvif::UploadResult sent = m_client->upload_firmware(start.upload_uri, m_context.upgrade_file, watch);
    debug_log("device index %d upload: %s\n", m_context.row, onvif::describe(sent).c_str());
    if (!sent.ok()) {
        upload_refused(sent, passes_left);
        return false;
    }
    down_ms = std::min(start.expected_down_time_ms, kMaxDownMs);
    return true;
}

void OnvifPort::upload_refused(const onvif::UploadResult& result, int32_t& passes_left) {
    switch (result.status) {
    case onvif::UploadStatus::stopped: return;
    case onvif::UploadStatus::unreadable:
        passes_left = 0;
        m_reporter.report(ST_INVALID_UPGRADE_FILE);
        return;
    case onvif::UploadStatus::refused:
        // A damaged or foreign image does not get better; refused credentials end the device.
        if (result.http_status == kHttpUnsupportedMedia) {
            passes_left = 0;
            m_reporter.report(ST_INVALID_UPGRADE_FILE);
            return;
        }
        if (result.http_status == kHttpUnauthorized) {
            passes_left = 0;
            m_reporter.report(ST_USER_NAME_NOT_EXIST);
            return;
        }
        break;
    default: break;
    }
    // Busy (503), a dropped link, a camera out of reach: the next pass tries again.
    if (passes_left > 0) m_reporter.send(ST_UPGRADE_FAIL_RETRY_LATER);
}

void OnvifPort::wait_down(int64_t ms) {
    for (int i = 0; i < kDownWaitSlices; ++i) {
        if (!pause(ms / kDownWaitSlices)) return;
        m_reporter.progress(3);
    }
}

// Within the budget, until it is stopped: the camera is looked for by its UUID and logged in
// to wherever it answers.
void OnvifPort::reconnect(const std::string& last_address) {
    const int64_t deadline = Clock::now_ms() + kReconnectBudgetMs;
    const auto stopped = [this] { return !m_context.running(); };
    while (m_context.running() && Clock::now_ms() < deadline) {
        const std::string xaddr = m_finder->find(m_target.uuid, last_address, stopped);
        if (!xaddr.empty()) {
            const LoginResult result = login_at(xaddr);
            DEBUG_LOCATION(kFile, "OnvifPort::reconnect");
            debug_log("device index %d back at %s: login %d\n", m_context.row, xaddr.c_str(), result.code);
            if (m_client || result.refusal != LoginRefusal::None) return;
        }
        if (!pause(kReconnectRetryMs)) return;
    }
}

// The version and address the camera has now, written to its row.
void OnvifPort::read_back_version() {
    if (!m_client) return;
    onvif::DeviceInformation information;
    // Busy says nothing of the version: asked again within the reconnect's budget, or a
    // camera that took the image would end with its upgrade failed.
    const int64_t deadline = Clock::now_ms() + kReconnectBudgetMs;
    onvif::Result asked = m_client->get_device_information(information);
    while (asked.status == onvif::Status::busy && Clock::now_ms() < deadline && pause(kReconnectRetryMs))
        asked = m_client->get_device_information(information);
    if (!asked.ok() || information.firmware_version.empty()) return;
    m_version_after = information.firmware_version;
    const size_t row = static_cast<size_t>(m_context.row);
    m_devices.set_cell(row, COL_VERSION, m_version_after);
    m_devices.set_cell(row, COL_IP, url_host(m_xaddr));
}

void OnvifPort::progress_once(int stage) {
    if (m_stage_counted[static_cast<size_t>(stage)]) return;
    m_stage_counted[static_cast<size_t>(stage)] = true;
    m_reporter.progress(stage);
}
