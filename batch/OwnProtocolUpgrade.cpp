// The upgrade stage of a pass: hand the firmware file over, follow the transfer, wait while
// the device reboots, find it again and log in again.
#include "batch/BatchJob.h"

#include "batch/BatchJobWorker.h"
#include "discovery/Discovery.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <cstring>

namespace {

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

void BatchJob::upgrade_stage(Worker& w) {
    const size_t slot = static_cast<size_t>(w.thrd_index);
    // An empty settings record first: no field applied.
    ::customer_cfg zero{};
    Network_ClientSetDeviceConfig(w.device_handle, OVIX_CMD_CUSTOMER_CFG, 0, &zero, sizeof zero);
    const int32_t cb = Network_ClientSetEventCB(w.device_handle, &BatchJob::check_DeviceEvent, this);
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("### Network_ClientSetEventCB  ret = %d device_handle=%d   thrd_index=%d \n", cb, w.device_handle,
              w.thrd_index);

    int32_t upgrade_handle = -1;
    const int32_t result = Network_ClientStartUpgrade(&upgrade_handle, w.device_handle, m_upgrade_file.c_str());
    w.upgrade_handle = upgrade_handle;
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("### device index %d start to send upgarde request max_try_cnt=%d nRet=%d  upgrade_handle=%d "
              "device_handle=%d",
              w.row, w.max_try_cnt, result, w.upgrade_handle, w.device_handle);
    if (result != OVIX_OK || w.upgrade_handle == -1) {
        // Neither a damaged file nor one this machine cannot read gets better by trying again.
        if (result == OVIX_ERR_UPGRADE_INVALID || result == OVIX_ERR_FILE) w.max_try_cnt = 0;
        if (w.max_try_cnt == 0) report(w, refusal_status(result));
        if (w.upgrade_handle != -1) Network_ClientStopUpgrade(w.upgrade_handle);
        w.upgrade_handle = -1;
    } else {
        report(w, ST_IS_UPGRADE);
        if (w.count_stage[0]) {
            w.count_stage[0] = false;
            update_progress(0);
        }
    }
    Clock::sleep_ms(kAfterStartMs);
    follow_transfer(w);

    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("### device index %d  upgarde over max_try_cnt=%d update_complete=%d  upgrade_handle=%d device_handle=%d",
              w.row, w.max_try_cnt, static_cast<int>(w.update_complete), w.upgrade_handle, w.device_handle);
    if (w.upgrade_handle != -1) {
        Network_ClientStopUpgrade(w.upgrade_handle);
        w.upgrade_handle = -1;
    }
    if (w.update_complete) {
        send(w, ST_WAIT_REBOOT);
        if (w.is_type1)
            update_progress(3);
        else
            wait_for_drop(w);
    } else {
        w.retry_step = RETRY_UPGRADE;
    }
    Network_ClientLogout(w.device_handle);
    w.device_handle = -1;
    m_dev_handle[slot] = -1;
    if (!w.update_complete) return;
    if (w.dropped_at_ms < 0) w.dropped_at_ms = Clock::now_ms();

    reboot_wait(w);
    reconnect(w);
    if (w.count_stage[2]) {
        w.count_stage[2] = false;
        update_progress(2);
    }
    if (w.device_handle != -1 && m_running) {
        Network_ClientDeviceControl(w.device_handle, OVIX_CTRL_LAMP, 0, kLampOn, kWhiteLamp);
        Network_ClientDeviceControl(w.device_handle, OVIX_CTRL_LAMP, 0, kLampOff, kWhiteLamp);
        read_back_version(w);
        // Done only when it runs the file's version; otherwise the verdict says why not.
        if (version_matches(m_upgrade_file, w.version_after)) {
            report(w, ST_UPGRADE_OK);
            w.upgrade_ok_reported = true;
        }
    }
    w.retry_step = RETRY_NONE;
}

void BatchJob::follow_transfer(Worker& w) {
    int failed_queries = 0;  // never reset during the stage
    while (w.upgrade_handle != -1 && m_running) {
        int32_t percent = 0;
        const int32_t result = Network_ClientGetUpgradeStatus(w.upgrade_handle, &percent);
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("### device index %d has send upgrade file = %d nRet=%d\n", w.row, percent, result);
        if (percent == 100) {
            Network_ClientStopUpgrade(w.upgrade_handle);
            w.upgrade_handle = -1;
            w.update_complete = true;
            if (w.count_stage[1]) {
                w.count_stage[1] = false;
                update_progress(1);
            }
        } else if (result != OVIX_OK && ++failed_queries == kFailedQueriesLimit) {
            Clock::sleep_ms(kBeforeStopMs);
            Network_ClientStopUpgrade(w.upgrade_handle);
            w.upgrade_handle = -1;
            send(w, ST_UPGRADE_FAIL_RETRY_LATER);
            Clock::sleep_ms(kAfterRetryReportMs);
            break;
        }
        Clock::sleep_ms(kStatusPollMs);
    }
}

// Waits until the SDK reports the login dropped (the device went down for its reboot). A
// device whose drop never arrives is given up on after the reconnect budget, and a stopped
// job ends the wait, so that no worker waits here for ever.
bool BatchJob::wait_for_drop(Worker& w) {
    const size_t slot = static_cast<size_t>(w.thrd_index);
    const int64_t deadline = Clock::now_ms() + kReconnectBudgetMs;
    while (m_dev_handle[slot] == w.device_handle && m_running) {
        if (Clock::now_ms() >= deadline) {
            DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
            debug_log("### device index %d never dropped its login after the upgrade\n", w.row);
            return false;
        }
        Clock::sleep_ms(kDropPollMs);
        add_wait_ticks(w, 1);
    }
    w.dropped_at_ms = Clock::now_ms();
    return true;
}

void BatchJob::reboot_wait(Worker& w) {
    if (w.is_type1) {
        update_progress(3);
        return;
    }
    for (int i = 0; i < kRebootWaitSlices && m_running; ++i) {
        if (!pause(kRebootWaitSliceMs)) return;
        update_progress(3);
    }
}

void BatchJob::reconnect(Worker& w) {
    int32_t budget = kReconnectBudgetMs;
    while (budget > 0 && m_running) {
        // Only a record heard since the drop tells where the device is now; without one,
        // ask for a sweep from this thread and look again on the next attempt.
        DEV_INFO record{};
        if (fresh_record(w, record))
            w.ip = bounded(record.ip_address, sizeof record.ip_address);
        else
            m_discovery.SweepDiscovery();
        budget -= random_wait(w, kReconnectRandomSeconds);
        const std::string address = m_dostep.change_auto_ip ? m_new_ip[static_cast<size_t>(w.thrd_index)] : w.ip;
        const int32_t result = login(w, address);
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("###device index %d upgrade login ret=%d device_handle=%d max_wait_time=%dms\n", w.row, result,
                  w.device_handle, budget);
        if (result == OVIX_ERR_USER_UNKNOWN || result == OVIX_ERR_PASSWORD) break;
        // Family 1 is not waited for, so a login may still reach it before it restarts:
        // it is back only once it runs the file's version, or the budget is spent.
        if (w.device_handle != -1 && !w.is_type1) break;
        if (w.device_handle != -1) {
            read_back_version(w);
            if (version_matches(m_upgrade_file, w.version_after)) break;
            w.version_after.clear();
            Network_ClientLogout(w.device_handle);
            w.device_handle = -1;
            m_dev_handle[static_cast<size_t>(w.thrd_index)] = -1;
        }
        budget -= kReconnectRetryMs;
        add_wait_ticks(w, kTicksPerFailedLogin);
        Clock::sleep_ms(kReconnectRetryMs);
    }
}

bool BatchJob::fresh_record(Worker& w, DEV_INFO& record) {
    int64_t heard_ms = -1;
    return m_discovery.FindDevice(w.mac.c_str(), record, heard_ms) == RC_OK && heard_ms > w.dropped_at_ms;
}

// The version the device runs since its reboot, written to the row's version column: from
// the device itself over the new login, else from a discovery record heard since the drop.
void BatchJob::read_back_version(Worker& w) {
    std::string version;
    // The device itself first: a record heard just after the drop may still be its old self.
    if (w.device_handle != -1) {
        ovix_device_info info{};
        if (Network_ClientGetDeviceConfig(w.device_handle, OVIX_CMD_DEVICE_INFO, 0, &info, sizeof info) == OVIX_OK)
            version = bounded(info.software_version, sizeof info.software_version);
    }
    DEV_INFO record{};
    if (fresh_record(w, record)) {
        if (version.empty()) version = bounded(record.software_ver, sizeof record.software_ver);
        m_devices.set_cell(static_cast<size_t>(w.row), COL_IP, bounded(record.ip_address, sizeof record.ip_address));
    }
    if (version.empty()) return;
    w.version_after = version;
    m_devices.set_cell(static_cast<size_t>(w.row), COL_VERSION, version);
}

void BatchJob::add_wait_ticks(Worker& w, int ticks) {
    for (int i = 0; i < ticks; ++i)
        if (++w.wait_ticks % kTicksPerProgress == 0) update_progress(3);
}

// Sleeps ms in short slices; false when the job was stopped meanwhile.
bool BatchJob::pause(int64_t ms) {
    while (ms > 0 && m_running) {
        const int64_t slice = ms < kPauseSliceMs ? ms : kPauseSliceMs;
        Clock::sleep_ms(slice);
        ms -= slice;
    }
    return m_running;
}
