#pragma once
#include "batch/DeviceTable.h"
#include "batch/JobReportSink.h"
#include "batch/JobSteps.h"
#include "batch/StepInputs.h"
#include "devsdk/ovix_client.h"
#include "foundation/Mutex.h"
#include "foundation/Thread.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

class CDiscovery;
class NeighbourCache;

// One device of a job: its list row and the address the job gives it (empty: none).
struct JobDevice {
    int row = -1;
    std::string new_ip;
};

// What a launch hands the engine; the front end has checked it.
struct JobLaunch {
    JobSteps steps;
    std::vector<JobDevice> devices;  // at most BatchJob::kMaxWorkers
    std::string upgrade_file;
    std::string user;
    std::string password;
    std::string local_address;       // the job's network card; empty: every interface
};

// How one step ended.
enum class StepOutcome { Done, Failed, Busy };

// The batch job engine: one job at a time over the device list, one worker thread per device
// (at most 100). The window, the command line and the tests all drive this one object; it
// reads the rows and step inputs it is given, talks to the devices through the device SDK and
// discovery, and tells the front end everything through the report sink.
//
// Stopping: the front end first closes its report channel (so that no worker waits for it),
// then calls stop(), which clears m_running and waits for every worker to end. Every worker
// makes its end report exactly once, also when stopped.
class BatchJob {
public:
    static constexpr int kMaxWorkers = 100;
    static constexpr const char* kThreadLogName = "CfleetsetDlg";

    BatchJob(CDiscovery& discovery, DeviceTable& devices, const StepInputs& inputs, JobReportSink& sink,
             NeighbourCache& neighbours);
    ~BatchJob();
    BatchJob(const BatchJob&) = delete;
    BatchJob& operator=(const BatchJob&) = delete;

    // Fills the job record, blanks the rows' marks (ST_CLEAR_ROW), starts one worker per
    // device and reports the job state. Returns the number of workers started; 0 when a job
    // is running, the launch names no device or more than kMaxWorkers, or no step is set.
    int start_job(const JobLaunch& launch);
    // Clears m_running and waits for every worker to end. The report channel must already
    // be closed (see above). Safe to call at any time, also when idle.
    void stop();
    bool running() const { return m_running; }
    int worker_count() const { return m_thrd_cnt; }

    // The worker: the whole job for one device. Argument (row << 16) | thread index.
    uint32_t ThreadFunc(uint32_t argument);

    // Job bookkeeping. The two finished handlers run on the workers' threads (the last one
    // through the IP barrier also clears the address cache), so that the receiver of the
    // reports never does slow work; the reports still reach it in the same order.
    void update_progress(int stage);
    // True when this end report completed the job (not after a stop).
    bool finished_one_device(int row);
    void finished_one_device_change_ip(int row);
    static int32_t check_DeviceEvent(int32_t login_handle, const ovix_event* event, void* context);

    // The firmware file's version ("%d.%d.%d"), empty when the file has no readable header.
    static std::string file_version(const std::string& path);
    // The device runs the file's version: the same numbers, optionally followed by more
    // parts after a '.' or '-' (1.2.3 matches 1.2.3.0 and 1.2.3-build, not 1.2.30 or V1.2.3).
    static bool version_matches(const std::string& path, const std::string& device_version);

    // The job record, shared by the workers of one job.
    JobSteps m_dostep;
    std::atomic<bool> m_running{false};
    int32_t m_thrd_cnt = 0;
    std::array<CThread<BatchJob>, kMaxWorkers> m_threads;
    std::array<std::atomic<int32_t>, kMaxWorkers> m_dev_handle;
    std::array<std::string, kMaxWorkers> m_new_ip;
    std::array<int32_t, kMaxWorkers> m_is_type1{};  // by thread index, from the row at launch
    std::string m_upgrade_file;
    std::string m_user;
    std::string m_password;
    std::array<int32_t, 4> m_stage_cnt{};
    int32_t m_finish_cnt = 0;
    int32_t m_finish_change_ip_cnt = 0;
    CMutex m_job_mutex;

private:
    std::array<int, kMaxWorkers> m_slot_row{};                   // the row each slot works on
    std::array<std::atomic<bool>, kMaxWorkers> m_entered{};      // the slot's worker has run

    struct Worker;

    // The pass structure and its parts (BatchJob.cpp).
    bool ip_phase(Worker& w);
    void run_passes(Worker& w);
    int32_t login_pass(Worker& w);
    bool not_logged_in(Worker& w, int32_t result);
    void upgrade_verdict(Worker& w);
    bool run_steps(Worker& w);
    void report(Worker& w, StatusCode code);
    void send(Worker& w, StatusCode code);
    void report_skips(Worker& w);
    void end_unstarted(size_t slot);
    void note(Worker& w, StatusCode code);
    void closing_marks(Worker& w);
    bool settings_requested(const Worker& w) const;
    int random_wait(Worker& w, int seconds);
    int32_t login(Worker& w, const std::string& address);
    void logout(Worker& w);

    // The upgrade stage (UpgradeStage.cpp).
    void upgrade_stage(Worker& w);
    void follow_transfer(Worker& w);
    bool wait_for_drop(Worker& w);
    void reboot_wait(Worker& w);
    void reconnect(Worker& w);
    bool fresh_record(Worker& w, DEV_INFO& record);
    void read_back_version(Worker& w);
    bool pause(int64_t ms);
    void add_wait_ticks(Worker& w, int ticks);

    // The other steps (JobStepsLogo.cpp, JobStepsDevice.cpp).
    bool change_address(Worker& w, bool fixed);
    StepOutcome logo_step(Worker& w);
    StepOutcome command_step(Worker& w);
    StepOutcome clock_step(Worker& w);
    void fill_customer_cfg(Worker& w);
    StepOutcome settings_step(Worker& w);
    StepOutcome uid_step(Worker& w);
    StepOutcome factory_step(Worker& w);
    StepOutcome reset_password_step(Worker& w);
    StepOutcome control_step(Worker& w, int32_t control);

    CDiscovery& m_discovery;
    DeviceTable& m_devices;
    const StepInputs& m_inputs;
    JobReportSink& m_sink;
    NeighbourCache& m_neighbours;
    std::string m_local_address;
};

StepOutcome outcome_of(int32_t sdk_result);
