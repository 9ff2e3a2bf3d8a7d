// The upgrade stage over our own SDK: hand the firmware file over, follow the transfer, wait
// while the device reboots, find it again by its MAC and log in again.
#include "batch/BatchJob.h"
#include "batch/DeviceTable.h"
#include "batch/OwnProtocolPort.h"
#include "discovery/Discovery.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <cstring>

namespace {

constexpr const char* kJobFile = "fleetsetDlg";
constexpr int32_t kAfterStartMs = 100;
constexpr int32_t kStatusPollMs = 200;
constexpr int kFailedQueriesLimit = 4;
constexpr int32_t kBeforeStopMs = 100;
constexpr int32_t kAfterRetryReportMs = 500;
constexpr int32_t kDropPollMs = 100;
constexpr int32_t kRebootWaitSliceMs = 10000;
constexpr int kRebootWaitSlices = 4;
constexpr int32_t kReconnectBudgetMs = 60000;
constexpr int kReconnectRandomSeconds = 5;
constexpr int32_t kReconnectRetryMs = 500;
constexpr int kTicksPerFailedLogin = 5;
constexpr int kTicksPerProgress = 100;
constexpr int32_t kPauseSliceMs = 100;
constexpr int32_t kRandomSliceMs = 200;
constexpr int32_t kLampOn = 1;
constexpr int32_t kLampOff = 0;
constexpr int32_t kWhiteLamp = 1;

StatusCode refusal_status(int32_t result) {
    switch (result) {
    case OVIX_ERR_UPGRADE_VERSION: return ST_DISMATCH_UPGRADE_VERSION;
    case OVIX_ERR_UPGRADE_BOARD: return ST_DISMATCH_UPGRADE_BOARD_TYPE;
    case OVIX_ERR_UPGRADE_INVALID:
    case OVIX_ERR_FILE: return ST_INVALID_UPGRADE_FILE;
    default: return ST_UPGRADE_FAIL_RETRY_LATER;
    }
}

std::string bounded(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

} // namespace

void OwnProtocolPort::upgrade(int32_t& passes_left) {
    const int row = m_context.row;
    // An empty settings record first: no field applied.
    ::customer_cfg zero{};
    Network_ClientSetDeviceConfig(device_handle, OVIX_CMD_CUSTOMER_CFG, 0, &zero, sizeof zero);
    const int32_t cb = Network_ClientSetEventCB(device_handle, &OwnProtocolPort::check_DeviceEvent, this);
    DEBUG_LOCATION(kJobFile, "OwnProtocolPort::upgrade");
    debug_log("### Network_ClientSetEventCB  ret = %d device_handle=%d   thrd_index=%d \n", cb, device_handle,
              m_context.slot);

    int32_t handle = -1;
    const int32_t result = Network_ClientStartUpgrade(&handle, device_handle, m_context.upgrade_file.c_str());
    upgrade_handle = handle;
    DEBUG_LOCATION(kJobFile, "OwnProtocolPort::upgrade");
    debug_log("### device index %d start to send upgarde request max_try_cnt=%d nRet=%d  upgrade_handle=%d "
              "device_handle=%d",
              row, passes_left, result, upgrade_handle, device_handle);
    if (result != OVIX_OK || upgrade_handle == -1) {
        // Neither a damaged file nor one this machine cannot read gets better by trying again.
        if (result == OVIX_ERR_UPGRADE_INVALID || result == OVIX_ERR_FILE) passes_left = 0;
        if (passes_left == 0) m_reporter.report(refusal_status(result));
        if (upgrade_handle != -1) Network_ClientStopUpgrade(upgrade_handle);
        upgrade_handle = -1;
    } else {
        m_reporter.report(ST_IS_UPGRADE);
        if (count_stage[0]) {
            count_stage[0] = false;
            m_reporter.progress(0);
        }
    }
    Clock::sleep_ms(kAfterStartMs);
    follow_transfer();

    DEBUG_LOCATION(kJobFile, "OwnProtocolPort::upgrade");
    debug_log("### device index %d  upgarde over max_try_cnt=%d update_complete=%d  upgrade_handle=%d device_handle=%d",
              row, passes_left, static_cast<int>(update_complete), upgrade_handle, device_handle);
    if (upgrade_handle != -1) {
        Network_ClientStopUpgrade(upgrade_handle);
        upgrade_handle = -1;
    }
    if (update_complete) {
        m_reporter.send(ST_WAIT_REBOOT);
        if (m_context.is_type1)
            m_reporter.progress(3);
        else
            wait_for_drop();
    }
    logout();
    if (!update_complete) return;
    if (dropped_at_ms < 0) dropped_at_ms = Clock::now_ms();

    reboot_wait();
    reconnect();
    if (count_stage[2]) {
        count_stage[2] = false;
        m_reporter.progress(2);
    }
    if (device_handle != -1 && m_context.running()) {
        Network_ClientDeviceControl(device_handle, OVIX_CTRL_LAMP, 0, kLampOn, kWhiteLamp);
        Network_ClientDeviceControl(device_handle, OVIX_CTRL_LAMP, 0, kLampOff, kWhiteLamp);
        read_back_version();
        // Done only when it runs the file's version; otherwise the verdict says why not.
        if (BatchJob::version_matches(m_context.upgrade_file, m_version_after)) m_reporter.report(ST_UPGRADE_OK);
    }
}

void OwnProtocolPort::follow_transfer() {
    int failed_queries = 0;  // never reset during the stage
    while (upgrade_handle != -1 && m_context.running()) {
        int32_t percent = 0;
        const int32_t result = Network_ClientGetUpgradeStatus(upgrade_handle, &percent);
        DEBUG_LOCATION(kJobFile, "OwnProtocolPort::follow_transfer");
        debug_log("### device index %d has send upgrade file = %d nRet=%d\n", m_context.row, percent, result);
        if (percent == 100) {
            Network_ClientStopUpgrade(upgrade_handle);
            upgrade_handle = -1;
            update_complete = true;
            if (count_stage[1]) {
                count_stage[1] = false;
                m_reporter.progress(1);
            }
        } else if (result != OVIX_OK && ++failed_queries == kFailedQueriesLimit) {
            Clock::sleep_ms(kBeforeStopMs);
            Network_ClientStopUpgrade(upgrade_handle);
            upgrade_handle = -1;
            m_reporter.send(ST_UPGRADE_FAIL_RETRY_LATER);
            Clock::sleep_ms(kAfterRetryReportMs);
            break;
        }
        Clock::sleep_ms(kStatusPollMs);
    }
}

// Waits until the SDK reports the login dropped (the device went down for its reboot). A
// device whose drop never arrives is given up on after the reconnect budget, and a stopped
// job ends the wait, so that no worker waits here for ever.
bool OwnProtocolPort::wait_for_drop() {
    const int64_t deadline = Clock::now_ms() + kReconnectBudgetMs;
    while (m_dev_handle == device_handle && m_context.running()) {
        if (Clock::now_ms() >= deadline) {
            DEBUG_LOCATION(kJobFile, "OwnProtocolPort::wait_for_drop");
            debug_log("### device index %d never dropped its login after the upgrade\n", m_context.row);
            return false;
        }
        Clock::sleep_ms(kDropPollMs);
        add_wait_ticks(1);
    }
    dropped_at_ms = Clock::now_ms();
    return true;
}

void OwnProtocolPort::reboot_wait() {
    if (m_context.is_type1) {
        m_reporter.progress(3);
        return;
    }
    for (int i = 0; i < kRebootWaitSlices && m_context.running(); ++i) {
        if (!pause(kRebootWaitSliceMs)) return;
        m_reporter.progress(3);
    }
}

void OwnProtocolPort::reconnect() {
    int32_t budget = kReconnectBudgetMs;
    while (budget > 0 && m_context.running()) {
        // Only a record heard since the drop tells where the device is now; without one,
        // ask for a sweep from this thread and look again on the next attempt.
        DEV_INFO record{};
        if (fresh_record(record))
            m_ip = bounded(record.ip_address, sizeof record.ip_address);
        else
            m_discovery.SweepDiscovery();
        budget -= random_wait(kReconnectRandomSeconds);
        const std::string address = m_context.auto_ip ? m_context.new_ip : m_ip;
        const LoginResult result = login(address);
        DEBUG_LOCATION(kJobFile, "OwnProtocolPort::reconnect");
        debug_log("###device index %d upgrade login ret=%d device_handle=%d max_wait_time=%dms\n", m_context.row,
                  result.code, device_handle, budget);
        if (result.refusal == LoginRefusal::WrongUser) break;
        // Family 1 is not waited for, so a login may still reach it before it restarts:
        // it is back only once it runs the file's version, or the budget is spent.
        if (device_handle != -1 && !m_context.is_type1) break;
        if (device_handle != -1) {
            read_back_version();
            if (BatchJob::version_matches(m_context.upgrade_file, m_version_after)) break;
            m_version_after.clear();
            logout();
        }
        budget -= kReconnectRetryMs;
        add_wait_ticks(kTicksPerFailedLogin);
        Clock::sleep_ms(kReconnectRetryMs);
    }
}

bool OwnProtocolPort::fresh_record(DEV_INFO& record) {
    int64_t heard_ms = -1;
    return m_discovery.FindDevice(m_context.mac.c_str(), record, heard_ms) == RC_OK && heard_ms > dropped_at_ms;
}

// The version the device runs since its reboot, written to the row's version column: from
// the device itself over the new login, else from a discovery record heard since the drop.
void OwnProtocolPort::read_back_version() {
    const size_t row = static_cast<size_t>(m_context.row);
    std::string version;
    // The device itself first: a record heard just after the drop may still be its old self.
    if (device_handle != -1) {
        ovix_device_info info{};
        if (Network_ClientGetDeviceConfig(device_handle, OVIX_CMD_DEVICE_INFO, 0, &info, sizeof info) == OVIX_OK)
            version = bounded(info.software_version, sizeof info.software_version);
    }
    DEV_INFO record{};
    if (fresh_record(record)) {
        if (version.empty()) version = bounded(record.software_ver, sizeof record.software_ver);
        m_devices.set_cell(row, COL_IP, bounded(record.ip_address, sizeof record.ip_address));
    }
    if (version.empty()) return;
    m_version_after = version;
    m_devices.set_cell(row, COL_VERSION, version);
}

void OwnProtocolPort::add_wait_ticks(int ticks) {
    for (int i = 0; i < ticks; ++i)
        if (++wait_ticks % kTicksPerProgress == 0) m_reporter.progress(3);
}

int OwnProtocolPort::random_wait(int seconds) {
    if (seconds <= 0) return 0;
    std::uniform_int_distribution<int> pick(0, seconds * 1000 - 1);
    int left = pick(m_random);
    int waited = 0;
    while (m_context.running() && left > 0) {
        Clock::sleep_ms(kRandomSliceMs);
        left -= kRandomSliceMs;
        waited += kRandomSliceMs;
    }
    return waited;
}

// Sleeps ms in short slices; false when the job was stopped meanwhile.
bool OwnProtocolPort::pause(int64_t ms) {
    while (ms > 0 && m_context.running()) {
        const int64_t slice = ms < kPauseSliceMs ? ms : kPauseSliceMs;
        Clock::sleep_ms(slice);
        ms -= slice;
    }
    return m_context.running();
}
