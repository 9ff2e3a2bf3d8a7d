#include "batch/BatchJob.h"

#include "batch/NeighbourCache.h"
#include "batch/OwnProtocolPort.h"
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
constexpr int32_t kPauseSliceMs = 100;
constexpr const char* kJobFile = "fleetsetDlg";

// retry_step values: the step a busy answer asks to run again on the next pass.
enum RetryStep : int32_t {
    RETRY_NONE = 0,
    RETRY_UPGRADE = 2,
    RETRY_LOGO = 3,
    RETRY_COMMAND = 4,
    RETRY_CLOCK = 5,
    RETRY_SETTINGS = 6,
    RETRY_UID = 7,
    RETRY_FACTORY = 8,
    RETRY_RESET_PASSWORD = 9,
};

} // namespace

// One worker's state for its whole run; names as in the worker's log lines.
struct BatchJob::Worker {
    WorkerContext context;
    DevicePort* port = nullptr;
    int row = 0;
    int thrd_index = 0;
    std::string login_address;  // where the last pass tried to log in
    int32_t max_try_cnt = kPasses;
    int32_t max_wait_time = kLoginBudgetMs;
    int32_t retry_step = 0;
    DeviceSettings settings;    // filled once per pass, sent unchanged when resumed
    bool upgrade_ok_reported = false;
    bool is_type1 = false;
    uint32_t settled = 0;  // mark columns (bit column - 6) that got a done or failed mark
    int32_t reason = -1;   // the last failure reason reported, for the row's closing message
};

// What the worker's port may tell the job.
struct BatchJob::Reporter : StepReporter {
    Reporter(BatchJob& owner, Worker& worker) : job(owner), w(worker) {}
    void report(StatusCode code) override { job.report(w, code); }
    void send(StatusCode code) override { job.send(w, code); }
    void progress(int stage) override { job.update_progress(stage); }
    BatchJob& job;
    Worker& w;
};

BatchJob::BatchJob(CDiscovery& discovery, DeviceTable& devices, const StepInputs& inputs, JobReportSink& sink,
                   NeighbourCache& neighbours)
    : BatchJob(devices, inputs, sink, neighbours,
               [&discovery, &devices](const WorkerContext& context, StepReporter& reporter) {
                   return std::make_unique<OwnProtocolPort>(discovery, devices, context, reporter);
               }) {}

BatchJob::BatchJob(DeviceTable& devices, const StepInputs& inputs, JobReportSink& sink, NeighbourCache& neighbours,
                   PortMaker make_port)
    : m_devices(devices), m_inputs(inputs), m_sink(sink), m_neighbours(neighbours),
      m_make_port(std::move(make_port)) {
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
        m_ports[i].reset();
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
    const size_t slot = static_cast<size_t>(w.thrd_index);
    m_entered[slot] = true;
    WorkerContext& c = w.context;
    c.row = w.row;
    c.slot = w.thrd_index;
    if (auto row = m_devices.row(static_cast<size_t>(w.row))) {
        c.mac = row->mac;
        c.ip = row->ip;
        c.port = std::atoi(row->port.c_str());
    }
    w.is_type1 = c.is_type1 = m_is_type1[slot] != 0;
    c.new_ip = m_new_ip[slot];
    c.auto_ip = m_dostep.change_auto_ip != 0;
    c.upgrade_file = m_upgrade_file;
    c.user = m_user;
    c.password = m_password;
    c.inputs = &m_inputs;
    c.job_running = &m_running;
    Reporter reporter(*this, w);
    m_ports[slot] = m_make_port(c, reporter);
    w.port = m_ports[slot].get();

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
        if (w.context.ip != w.context.new_ip) {
            for (int i = 0; i < kChangeRequests; ++i) {
                if (w.port->change_address(fixed)) report(w, ST_CHANGE_IP_OK);
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
    w.settings = {};
    JobSteps after_address = m_dostep;
    after_address.change_auto_ip = after_address.change_ip = 0;
    if (!w.port->can_do_any(after_address)) {
        // Nothing to log in for: each requested step says the device cannot do it.
        upgrade_verdict(w);
        run_steps(w);
        return;
    }
    while (m_running && w.max_try_cnt > 0) {
        --w.max_try_cnt;
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("### device index %d enter the while loop again \n", w.row);
        const LoginRefusal refusal = login_pass(w);
        if (!m_running) {
            // Stopped while logging in: nothing more to report for this device.
            if (w.port->logged_in()) w.port->logout();
            return;
        }
        if (!w.port->logged_in() && !not_logged_in(w, refusal)) return;

        if (w.port->logged_in() && m_running &&
            ((m_dostep.need_update && !w.port->upgrade_complete()) || w.retry_step == RETRY_UPGRADE)) {
            w.port->upgrade(w.max_try_cnt);
            w.retry_step = w.port->upgrade_complete() ? RETRY_NONE : RETRY_UPGRADE;
        }
        // An upgrade to try again starts the next pass; with no pass left its verdict is due.
        if (w.retry_step == RETRY_UPGRADE && w.max_try_cnt > 0) continue;
        upgrade_verdict(w);
        if (!w.port->logged_in()) {
            report_skips(w);
            continue;
        }
        run_steps(w);
        w.port->logout();
        if (w.retry_step == RETRY_NONE) return;
    }
}

// Returns the refusal of the pass's last attempt.
LoginRefusal BatchJob::login_pass(Worker& w) {
    const std::string address =
        m_dostep.change_auto_ip ? w.context.new_ip : m_devices.cell(static_cast<size_t>(w.row), COL_IP);
    w.max_wait_time = kLoginBudgetMs;
    LoginResult result;
    while (w.max_wait_time > 0 && m_running) {
        if (m_dostep.change_auto_ip && !pause(kAutoIpLoginPauseMs)) break;
        result = w.port->login(address);
        DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
        debug_log("### device index %d start to login %s ,return value== %d and max_try_cnt = %d device_handle=%d  "
                  "max_wait_time=%d\n",
                  w.row, address.c_str(), result.code, w.max_try_cnt, w.port->handle(), w.max_wait_time);
        if (result.refusal != LoginRefusal::None) {
            w.max_try_cnt = 0;
            break;
        }
        if (w.port->logged_in()) break;
        w.max_wait_time -= kLoginAttemptCostMs;
        Clock::sleep_ms(kLoginRetryMs);
    }
    DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
    debug_log("### upgrade proc tag 111: index = %d, ret = %d \n", w.row, result.code);
    w.login_address = address;
    return result.refusal;
}

// Returns false when the worker ends here (a refused login).
bool BatchJob::not_logged_in(Worker& w, LoginRefusal refusal) {
    switch (refusal) {
    case LoginRefusal::WrongUser:
        report(w, ST_USER_NAME_NOT_EXIST);
        report_skips(w);
        Clock::sleep_ms(kAfterRefusalMs);
        return false;
    case LoginRefusal::RefusedNow:
        send(w, ST_UPGRADE_FAIL_RETRY_LATER);
        Clock::sleep_ms(kAfterRefusalMs);
        return false;
    case LoginRefusal::UserLimit:
        send(w, ST_LOGIN_MAX_USER);
        Clock::sleep_ms(kAfterRefusalMs);
        return false;
    case LoginRefusal::None:
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
    DevicePort& port = *w.port;
    if (port.upgrade_complete() && port.version_after().empty() && port.logged_in()) port.read_back_version();
    // Only a version read back since the reboot counts: the list may still show the old one.
    const bool read_back = !port.version_after().empty();
    const std::string device_version = m_devices.cell(static_cast<size_t>(w.row), COL_VERSION);
    const std::string expected = port.expected_version();
    const bool matches = read_back && (expected.empty() ? version_matches(m_upgrade_file, device_version)
                                                        : version_text_matches(expected, device_version));
    if (port.upgrade_complete() && matches) {
        // A device that came back only after the reconnect budget is done on a later pass.
        if (!w.upgrade_ok_reported) report(w, ST_UPGRADE_OK);
        return;
    }
    // Back, but on another version: the row says so rather than keep a message of success.
    if (port.upgrade_complete() && read_back) report(w, ST_DISMATCH_UPGRADE_VERSION);
    report(w, ST_UPGRADE_FAIL);
}

// Runs the steps of a pass in their order. A busy answer ends the pass; with no pass left
// it counts as the step's failure, so that no requested step ends without a mark.
bool BatchJob::run_steps(Worker& w) {
    DevicePort& port = *w.port;
    struct Step {
        bool requested;
        int32_t retry;
        StatusCode failed, done, unsupported;
        int skipped;  // -1: nothing is reported
        std::function<StepOutcome()> run;
    };
    const bool settings_turn = true;
    const Step steps[] = {
        {m_dostep.change_logo && !w.is_type1, RETRY_LOGO, ST_LOGO_FAIL, ST_LOGO_OK, ST_LOGO_UNSUPPORTED, ST_LOGO_SKIP,
         [&] { return port.send_logo(m_inputs.logo_file()); }},
        {m_dostep.send_command != 0, RETRY_COMMAND, ST_COMMAND_FAIL, ST_COMMAND_OK, ST_COMMAND_UNSUPPORTED, ST_COMMAND_SKIP,
         [&] { return port.run_command(m_inputs.command_text()); }},
        {m_dostep.change_time_sync != 0, RETRY_CLOCK, ST_TIME_SYNC_FAIL, ST_TIME_SYNC_OK, ST_TIME_SYNC_UNSUPPORTED, ST_TIME_SYNC_SKIP,
         [&] { return port.sync_clock(); }},
        {settings_turn, RETRY_SETTINGS, ST_SETTING_FAIL, ST_SETTING_OK, ST_SETTING_UNSUPPORTED, ST_SETTING_SKIP,
         [&] { return port.apply_settings(w.settings); }},
        {m_dostep.change_UID != 0, RETRY_UID, ST_COMMAND_FAIL, ST_COMMAND_OK, ST_COMMAND_UNSUPPORTED, -1,
         [&] { return port.run_command("echo " + std::string(m_inputs.uid_text().c_str()) + " >/config/tuya.cfg"); }},
        {m_dostep.restore_factory_settings != 0, RETRY_FACTORY, ST_COMMAND_FAIL, ST_COMMAND_OK, ST_COMMAND_UNSUPPORTED, -1,
         [&] { return port.factory_reset(); }},
        {m_dostep.reset_pwd != 0, RETRY_RESET_PASSWORD, ST_COMMAND_FAIL, ST_COMMAND_OK, ST_COMMAND_UNSUPPORTED, -1,
         [&] { return port.reset_password(); }},
    };
    // Steps before it that run again on this pass clear retry_step, so the pass remembers
    // what it resumes.
    const int32_t resumed = w.retry_step;
    for (const Step& step : steps) {
        bool requested = step.requested;
        if (step.retry == RETRY_SETTINGS) {
            // A pass that resumes the settings step sends the earlier record unchanged.
            if (resumed != RETRY_SETTINGS) {
                fill_settings(w.settings, m_dostep, m_inputs, w.is_type1);
                DEBUG_LOCATION(kJobFile, "CfleetsetDlg::ThreadFunc");
                debug_log("CfleetsetDlg::  ThreadFunc  ---------------- need_set_customer_cfg=%d device_handle=%d\n",
                          static_cast<int>(w.settings.requested), port.handle());
            }
            requested = w.settings.requested;
        }
        if ((requested || w.retry_step == step.retry) && m_running) {
            const StepOutcome outcome = step.run();
            if (outcome == StepOutcome::Busy && w.max_try_cnt > 0) {
                w.retry_step = step.retry;
                return false;
            }
            w.retry_step = RETRY_NONE;
            report(w, outcome == StepOutcome::Done          ? step.done
                      : outcome == StepOutcome::Unsupported ? step.unsupported
                                                            : step.failed);
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
    if (code == ST_UPGRADE_OK) w.upgrade_ok_reported = true;
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
    return w.settings.requested || s.change_time_zone || s.change_time_format || s.change_dhcp ||
           s.change_language ||
           (!w.is_type1 && (s.change_video_standard || s.change_password || s.change_max_wifi_ch || s.change_deafult_ch));
}

void BatchJob::report_skips(Worker& w) {
    for (StatusCode code : {ST_LOGO_SKIP, ST_COMMAND_SKIP, ST_TIME_SYNC_SKIP, ST_SETTING_SKIP}) report(w, code);
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
