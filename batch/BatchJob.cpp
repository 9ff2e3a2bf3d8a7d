#include "batch/BatchJob.h"

#include "batch/BatchJobWorker.h"
#include "batch/NeighbourCache.h"
#include "batch/StatusMarks.h"
#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <cstdlib>
#include <string_view>

namespace {

constexpr int32_t kPasses = 10;
constexpr int32_t kLoginBudgetMs = 60000;
constexpr int32_t kLoginAttemptCostMs = 6000;
constexpr int32_t kLoginRetryMs = 500;
constexpr int32_t kAutoIpLoginPauseMs = 5000;
constexpr int32_t kChangeRequests = 3;
constexpr int32_t kChangeRequestPauseMs = 100;
constexpr int32_t kBarrierPollMs = 100;
constexpr int32_t kAfterRefusalMs = 100;
constexpr int32_t kBeforeCacheFlushMs = 1000;
constexpr int32_t kRandomSliceMs = 200;

bool login_refused(int32_t result) {
    return result == OVIX_ERR_USER_UNKNOWN || result == OVIX_ERR_PASSWORD || result == OVIX_ERR_USER_LIMIT ||
           result == OVIX_ERR_REFUSED_NOW;
}

} // namespace

StepOutcome outcome_of(int32_t sdk_result) {
    if (sdk_result == OVIX_OK) return StepOutcome::Done;
    return sdk_result == OVIX_ERR_BUSY ? StepOutcome::Busy : StepOutcome::Failed;
}

BatchJob::BatchJob(CDiscovery& discovery, DeviceTable& devices, const StepInputs& inputs, JobReportSink& sink,
                   NeighbourCache& neighbours)
    : m_discovery(discovery), m_devices(devices), m_inputs(inputs), m_sink(sink), m_neighbours(neighbours) {
    for (auto& handle : m_dev_handle) handle = -1;
    m_job_mutex.Create();
}

BatchJob::~BatchJob() {
    stop();
    m_job_mutex.Close();
}

int BatchJob::start_job(const JobLaunch& launch) {
    const size_t count = launch.devices.size();
    if (m_running || count == 0 || count > static_cast<size_t>(kMaxWorkers) || !launch.steps.any()) {
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::start_job");
        debug_log("a job cannot start: running=%d devices=%d\n", static_cast<int>(m_running.load()),
                  static_cast<int>(count));
        return 0;
    }
    for (const JobDevice& device : launch.devices) {
        if (device.row < 0 || device.row > 0xFFFF || static_cast<size_t>(device.row) >= m_devices.size()) {
            DEBUG_LOCATION(kJobFile, "CfleetsetDlg::start_job");
            debug_log("row %d is not in the list\n", device.row);
            return 0;
        }
    }
    // The workers of the last job have all returned; their threads are joined here.
    for (auto& thread : m_threads)
        if (thread.IsRunning()) thread.Stop();

    m_dostep = launch.steps;
    m_upgrade_file = launch.upgrade_file;
    m_user = launch.user;
    m_password = launch.password;
    m_local_address = launch.local_address;
    m_stage_cnt = {};
    m_finish_cnt = 0;
    m_finish_change_ip_cnt = 0;
    for (size_t i = 0; i < count; ++i) {
        m_new_ip[i] = launch.devices[i].new_ip;
        m_dev_handle[i] = -1;
        m_is_type1[i] = m_devices.is_type1(static_cast<size_t>(launch.devices[i].row)) ? 1 : 0;
    }
    m_thrd_cnt = static_cast<int32_t>(count);
    m_running = true;
    m_sink.post_report(REPORT_JOB_STATE, 0);

    int started = 0;
    for (size_t i = 0; i < count; ++i) {
        const int row = launch.devices[i].row;
        m_sink.post_report(REPORT_STATUS, pack_report(static_cast<uint32_t>(row), ST_CLEAR_ROW));
        m_slot_row[i] = row;
        m_entered[i] = false;
        if (m_threads[i].Start(this, pack_report(static_cast<uint32_t>(row), static_cast<uint32_t>(i)), 0) == RC_OK) {
            ++started;
            continue;
        }
        end_unstarted(i);
    }
    return started;
}

void BatchJob::stop() {
    m_running = false;
    for (int i = 0; i < kMaxWorkers; ++i) {
        if (!m_threads[static_cast<size_t>(i)].IsRunning()) continue;
        m_threads[static_cast<size_t>(i)].Stop();
        // A stop that came before the thread's first turn leaves a worker that never ran.
        if (i < m_thrd_cnt && !m_entered[static_cast<size_t>(i)]) end_unstarted(static_cast<size_t>(i));
    }
}

// The end of a worker that never ran, so that the job's counts come out right: it also
// passes the address barrier, or the others would wait for it.
void BatchJob::end_unstarted(size_t slot) {
    m_entered[slot] = true;
    const int row = m_slot_row[slot];
    if ((m_dostep.change_auto_ip && !m_dostep.only(&JobSteps::change_auto_ip)) ||
        (m_dostep.change_ip && !m_dostep.only(&JobSteps::change_ip)))
        finished_one_device_change_ip(row);
    const bool last = finished_one_device(row);
    m_sink.post_report(REPORT_DEVICE_DONE, static_cast<uint32_t>(row));
    if (last) m_sink.post_report(REPORT_JOB_STATE, 0);
}

uint32_t BatchJob::ThreadFunc(uint32_t argument) {
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("CfleetsetDlg::  ThreadFunc  ---------------- ENTER!!! \n");
    Worker w;
    w.row = static_cast<int>(report_high(argument));
    w.thrd_index = static_cast<int>(report_low(argument));
    m_entered[static_cast<size_t>(w.thrd_index)] = true;
    if (auto row = m_devices.row(static_cast<size_t>(w.row))) {
        w.mac = row->mac;
        w.ip = row->ip;
        w.port = std::atoi(row->port.c_str());
    }
    w.is_type1 = m_is_type1[static_cast<size_t>(w.thrd_index)] != 0;
    std::random_device seed;
    w.random.seed(seed() ^ static_cast<uint32_t>(w.thrd_index));

    if (ip_phase(w)) {
        run_passes(w);
        closing_marks(w);
        const bool last = finished_one_device(w.row);
        m_sink.post_report(REPORT_DEVICE_DONE, static_cast<uint32_t>(w.row));
        if (last) m_sink.post_report(REPORT_JOB_STATE, 0);
    }
    return 1;
}

// Returns false when the worker has already made its end report (an address-only job).
bool BatchJob::ip_phase(Worker& w) {
    const auto phase = [&](uint8_t JobSteps::*flag, bool fixed) -> bool {
        if (w.ip != m_new_ip[static_cast<size_t>(w.thrd_index)]) {
            for (int i = 0; i < kChangeRequests; ++i) {
                if (change_address(w, fixed)) report(w, ST_CHANGE_IP_OK);
                Clock::sleep_ms(kChangeRequestPauseMs);
            }
        } else {
            w.settled |= 1u << (COL_MARK_IP - COL_MARK_IP);  // it has its address already
        }
        if (m_dostep.only(flag)) {
            const bool last = finished_one_device(w.row);
            m_sink.send_report(REPORT_DEVICE_DONE, static_cast<uint32_t>(w.row));
            if (last) m_sink.post_report(REPORT_JOB_STATE, 0);
            return false;
        }
        // Counted before the report, so the count is raised before this worker waits.
        finished_one_device_change_ip(w.row);
        m_sink.send_report(REPORT_CHANGE_IP_DONE, static_cast<uint32_t>(w.row));
        for (;;) {
            {
                CAutoMutex lock(&m_job_mutex);
                if (m_finish_change_ip_cnt >= m_thrd_cnt) break;
            }
            if (!m_running) break;
            Clock::sleep_ms(kBarrierPollMs);
        }
        report(w, ST_IS_LOGINING);
        return true;
    };
    if (m_dostep.change_auto_ip && !phase(&JobSteps::change_auto_ip, false)) return false;
    if (m_dostep.change_ip && !phase(&JobSteps::change_ip, true)) return false;
    // Reported only without any address change: the fixed-address phase must not overwrite
    // the mark that the automatic one set.
    if (!m_dostep.change_auto_ip && !m_dostep.change_ip) report(w, ST_CHANGE_IP_SKIP);
    return true;
}

void BatchJob::run_passes(Worker& w) {
    w.retry_step = RETRY_NONE;
    w.customer_cfg = {};
    while (m_running && w.max_try_cnt > 0) {
        --w.max_try_cnt;
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("### device index %d enter the while loop again \n", w.row);
        const int32_t result = login_pass(w);
        if (!m_running) {
            // Stopped while logging in: nothing more to report for this device.
            if (w.device_handle != -1) logout(w);
            return;
        }
        if (w.device_handle == -1 && !not_logged_in(w, result)) return;

        if (w.device_handle != -1 && m_running &&
            ((m_dostep.need_update && !w.update_complete) || w.retry_step == RETRY_UPGRADE))
            upgrade_stage(w);
        // An upgrade to try again starts the next pass; with no pass left its verdict is due.
        if (w.retry_step == RETRY_UPGRADE && w.max_try_cnt > 0) continue;
        upgrade_verdict(w);
        if (w.device_handle == -1) {
            report_skips(w);
            continue;
        }
        run_steps(w);
        logout(w);
        if (w.retry_step == RETRY_NONE) return;
    }
}

int32_t BatchJob::login_pass(Worker& w) {
    const std::string address =
        m_dostep.change_auto_ip ? m_new_ip[static_cast<size_t>(w.thrd_index)] : m_devices.cell(static_cast<size_t>(w.row), COL_IP);
    w.max_wait_time = kLoginBudgetMs;
    int32_t result = -1;
    while (w.max_wait_time > 0 && m_running) {
        if (m_dostep.change_auto_ip && !pause(kAutoIpLoginPauseMs)) break;
        result = login(w, address);
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("### device index %d start to login %s ,return value== %d and max_try_cnt = %d device_handle=%d  "
                  "max_wait_time=%d\n",
                  w.row, address.c_str(), result, w.max_try_cnt, w.device_handle, w.max_wait_time);
        if (login_refused(result)) {
            w.max_try_cnt = 0;
            break;
        }
        if (w.device_handle != -1) break;
        w.max_wait_time -= kLoginAttemptCostMs;
        Clock::sleep_ms(kLoginRetryMs);
    }
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("### upgrade proc tag 111: index = %d, ret = %d \n", w.row, result);
    w.login_address = address;
    return result;
}

// Returns false when the worker ends here (a refused login).
bool BatchJob::not_logged_in(Worker& w, int32_t result) {
    switch (result) {
    case OVIX_ERR_USER_UNKNOWN:
    case OVIX_ERR_PASSWORD:
        report(w, ST_USER_NAME_NOT_EXIST);
        report_skips(w);
        Clock::sleep_ms(kAfterRefusalMs);
        return false;
    case OVIX_ERR_REFUSED_NOW:
        send(w, ST_UPGRADE_FAIL_RETRY_LATER);
        Clock::sleep_ms(kAfterRefusalMs);
        return false;
    case OVIX_ERR_USER_LIMIT:
        send(w, ST_LOGIN_MAX_USER);
        Clock::sleep_ms(kAfterRefusalMs);
        return false;
    default:
        break;
    }
    if (w.max_try_cnt == 0 && m_running) {
        const bool moved = w.login_address != m_devices.cell(static_cast<size_t>(w.row), COL_IP);
        report(w, moved ? ST_CHANGE_IP_FAIL : ST_LOGIN_FAIL);
        Clock::sleep_ms(kAfterRefusalMs);
    }
    return true;
}

void BatchJob::upgrade_verdict(Worker& w) {
    if (!m_dostep.need_update) {
        report(w, ST_UPGRADE_SKIP);
        return;
    }
    if (w.update_complete && w.version_after.empty() && w.device_handle != -1) read_back_version(w);
    // Only a version read back since the reboot counts: the list may still show the old one.
    const bool matches = !w.version_after.empty() &&
                         version_matches(m_upgrade_file, m_devices.cell(static_cast<size_t>(w.row), COL_VERSION));
    if (w.update_complete && matches) {
        // A device that came back only after the reconnect budget is done on a later pass.
        if (!w.upgrade_ok_reported) report(w, ST_UPGRADE_OK);
        w.upgrade_ok_reported = true;
        return;
    }
    // Back, but on another version: the row says so rather than keep a message of success.
    if (w.update_complete && !w.version_after.empty()) report(w, ST_DISMATCH_UPGRADE_VERSION);
    report(w, ST_UPGRADE_FAIL);
}

// Runs the steps of a pass in their order. A busy answer ends the pass; with no pass left
// it counts as the step's failure, so that no requested step ends without a mark.
bool BatchJob::run_steps(Worker& w) {
    struct Step {
        bool requested;
        int32_t retry;
        StatusCode failed, done;
        int skipped;  // -1: nothing is reported
        StepOutcome (BatchJob::*run)(Worker&);
    };
    const bool settings_turn = true;
    const Step steps[] = {
        {m_dostep.change_logo && !w.is_type1, RETRY_LOGO, ST_LOGO_FAIL, ST_LOGO_OK, ST_LOGO_SKIP, &BatchJob::logo_step},
        {m_dostep.send_command != 0, RETRY_COMMAND, ST_COMMAND_FAIL, ST_COMMAND_OK, ST_COMMAND_SKIP,
         &BatchJob::command_step},
        {m_dostep.change_time_sync != 0, RETRY_CLOCK, ST_TIME_SYNC_FAIL, ST_TIME_SYNC_OK, ST_TIME_SYNC_SKIP,
         &BatchJob::clock_step},
        {settings_turn, RETRY_SETTINGS, ST_SETTING_FAIL, ST_SETTING_OK, ST_SETTING_SKIP, &BatchJob::settings_step},
        {m_dostep.change_UID != 0, RETRY_UID, ST_COMMAND_FAIL, ST_COMMAND_OK, -1, &BatchJob::uid_step},
        {m_dostep.restore_factory_settings != 0, RETRY_FACTORY, ST_COMMAND_FAIL, ST_COMMAND_OK, -1,
         &BatchJob::factory_step},
        {m_dostep.reset_pwd != 0, RETRY_RESET_PASSWORD, ST_COMMAND_FAIL, ST_COMMAND_OK, -1,
         &BatchJob::reset_password_step},
    };
    // Steps before it that run again on this pass clear retry_step, so the pass remembers
    // what it resumes.
    const int32_t resumed = w.retry_step;
    for (const Step& step : steps) {
        bool requested = step.requested;
        if (step.retry == RETRY_SETTINGS) {
            // A pass that resumes the settings step sends the earlier record unchanged.
            if (resumed != RETRY_SETTINGS) fill_customer_cfg(w);
            requested = w.need_set_customer_cfg;
        }
        if ((requested || w.retry_step == step.retry) && m_running) {
            const StepOutcome outcome = (this->*step.run)(w);
            if (outcome == StepOutcome::Busy && w.max_try_cnt > 0) {
                w.retry_step = step.retry;
                return false;
            }
            w.retry_step = RETRY_NONE;
            report(w, outcome == StepOutcome::Done ? step.done : step.failed);
        } else if (!m_running) {
            return true;  // stopped: the steps not reached are not reported as not requested
        } else if (step.skipped >= 0) {
            report(w, static_cast<StatusCode>(step.skipped));
        }
    }
    return true;
}

void BatchJob::report(Worker& w, StatusCode code) {
    note(w, code);
    m_sink.post_report(REPORT_STATUS, pack_report(static_cast<uint32_t>(w.row), code));
}

void BatchJob::send(Worker& w, StatusCode code) {
    note(w, code);
    m_sink.send_report(REPORT_STATUS, pack_report(static_cast<uint32_t>(w.row), code));
}

void BatchJob::note(Worker& w, StatusCode code) {
    const StatusEffect effect = status_effect(code);
    if (effect.column >= COL_MARK_IP && effect.column <= COL_MARK_SETTINGS &&
        std::string_view(effect.mark) != kMarkSkipped)
        w.settled |= 1u << (effect.column - COL_MARK_IP);
    switch (code) {
    case ST_USER_NAME_NOT_EXIST:
    case ST_LOGIN_FAIL:
    case ST_CHANGE_IP_FAIL:
    case ST_UPGRADE_FAIL_RETRY_LATER:
    case ST_LOGIN_MAX_USER:
    case ST_DISMATCH_UPGRADE_VERSION:
    case ST_INVALID_UPGRADE_FILE:
    case ST_DISMATCH_UPGRADE_BOARD_TYPE: w.reason = code; break;
    default: break;
    }
}

// A worker that ends with a requested step neither done nor failed (the device could not be
// logged in to, refused, or its upgrade never got through) marks that step failed: shown as
// not requested it would read as nothing having gone wrong. The reason goes last, so that
// the row's message says why.
void BatchJob::closing_marks(Worker& w) {
    if (!m_running) return;
    const struct {
        bool requested;
        int column;
        StatusCode failed;
    } columns[] = {
        {m_dostep.change_auto_ip || m_dostep.change_ip, COL_MARK_IP, ST_CHANGE_IP_FAIL},
        {m_dostep.need_update != 0, COL_MARK_UPGRADE, ST_UPGRADE_FAIL},
        {m_dostep.change_logo && !w.is_type1, COL_MARK_LOGO, ST_LOGO_FAIL},
        {m_dostep.send_command || m_dostep.change_UID || m_dostep.restore_factory_settings || m_dostep.reset_pwd,
         COL_MARK_COMMAND, ST_COMMAND_FAIL},
        {m_dostep.change_time_sync != 0, COL_MARK_CLOCK, ST_TIME_SYNC_FAIL},
        {settings_requested(w), COL_MARK_SETTINGS, ST_SETTING_FAIL},
    };
    bool marked = false;
    for (const auto& c : columns) {
        if (!c.requested || (w.settled & (1u << (c.column - COL_MARK_IP)))) continue;
        report(w, c.failed);
        marked = true;
    }
    if (marked && w.reason >= 0) report(w, static_cast<StatusCode>(w.reason));
}

bool BatchJob::settings_requested(const Worker& w) const {
    const JobSteps& s = m_dostep;
    return w.need_set_customer_cfg || s.change_time_zone || s.change_time_format || s.change_dhcp ||
           s.change_language ||
           (!w.is_type1 && (s.change_video_standard || s.change_password || s.change_max_wifi_ch || s.change_deafult_ch));
}

void BatchJob::report_skips(Worker& w) {
    for (StatusCode code : {ST_LOGO_SKIP, ST_COMMAND_SKIP, ST_TIME_SYNC_SKIP, ST_SETTING_SKIP}) report(w, code);
}

void BatchJob::logout(Worker& w) {
    Network_ClientLogout(w.device_handle);
    w.device_handle = -1;
    m_dev_handle[static_cast<size_t>(w.thrd_index)] = -1;
}

int32_t BatchJob::login(Worker& w, const std::string& address) {
    int32_t handle = -1;
    const int32_t result = Network_ClientLogin(&handle, address.c_str(), w.port, m_user.c_str(), m_password.c_str());
    if (result != OVIX_OK) handle = -1;
    w.device_handle = handle;
    m_dev_handle[static_cast<size_t>(w.thrd_index)] = handle;
    return result;
}

int BatchJob::random_wait(Worker& w, int seconds) {
    if (seconds <= 0) return 0;
    std::uniform_int_distribution<int> pick(0, seconds * 1000 - 1);
    int left = pick(w.random);
    int waited = 0;
    while (m_running && left > 0) {
        Clock::sleep_ms(kRandomSliceMs);
        left -= kRandomSliceMs;
        waited += kRandomSliceMs;
    }
    return waited;
}

void BatchJob::update_progress(int stage) {
    if (stage < 0 || stage > 3) return;
    const int32_t workers = m_thrd_cnt;
    if (workers <= 0) return;
    CAutoMutex lock(&m_job_mutex);
    m_stage_cnt[static_cast<size_t>(stage)] += 1;
    if (stage == 2)
        m_sink.post_report(REPORT_DONE_COUNT,
                           pack_report(static_cast<uint32_t>(m_stage_cnt[2]), static_cast<uint32_t>(workers)));
    if (m_stage_cnt[3] > workers * 12 || m_stage_cnt[2] == workers) m_stage_cnt[3] = workers * 12;
    const int64_t sum = static_cast<int64_t>(m_stage_cnt[0]) + m_stage_cnt[1] + m_stage_cnt[2] + m_stage_cnt[3];
    m_sink.post_report(REPORT_PROGRESS, static_cast<uint32_t>(sum * 100 / (workers * 15)));
}

bool BatchJob::finished_one_device(int row) {
    CAutoMutex lock(&m_job_mutex);
    m_finish_cnt += 1;
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::finished_one_device");
    debug_log("-------------finished_one_device  ---------------- m_finish_cnt=%d m_thrd_cnt=%d\n", m_finish_cnt,
              m_thrd_cnt);
    (void)row;
    if (m_finish_cnt != m_thrd_cnt) return false;
    // exchange: a stop that came first keeps the job from counting as completed.
    return m_running.exchange(false);
}

void BatchJob::finished_one_device_change_ip(int row) {
    CAutoMutex lock(&m_job_mutex);
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::finished_one_device_change_ip");
    debug_log("---finished_one_device_change_ip  ----- m_finish_change_ip_cnt=%d m_thrd_cnt=%d\n",
              m_finish_change_ip_cnt, m_thrd_cnt);
    (void)row;
    if (m_finish_change_ip_cnt == m_thrd_cnt - 1) {
        // The last device has its new address: forget the old address-to-MAC pairs so that
        // the logins that follow reach the devices where they are now.
        Clock::sleep_ms(kBeforeCacheFlushMs);
        m_neighbours.flush(m_local_address);
    }
    m_finish_change_ip_cnt += 1;
}

int32_t BatchJob::check_DeviceEvent(int32_t login_handle, const ovix_event* event, void* context) {
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::check_DeviceEvent");
    debug_log("\n--- check_DeviceEvent   hDev=%d pEvent->main=%d -------- \n", login_handle,
              event ? static_cast<int>(event->main) : 0);
    if (!context || !event || event->main != OVIX_EVENT_LOGIN_DROPPED) return 0;
    auto* self = static_cast<BatchJob*>(context);
    for (auto& handle : self->m_dev_handle) {
        int32_t expected = login_handle;
        handle.compare_exchange_strong(expected, -1);
    }
    return 0;
}
