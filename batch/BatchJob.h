#pragma once
#include "batch/DevicePort.h"
#include "batch/DeviceTable.h"
#include "batch/JobReportSink.h"
#include "batch/JobSteps.h"
#include "batch/StepInputs.h"
#include "foundation/Mutex.h"
#include "foundation/Thread.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
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

// The batch job engine: one job at a time over the device list, one worker thread per device
// (at most 100). The window, the command line and the tests all drive this one object; it
// reads the rows and step inputs it is given, talks to each device through a DevicePort (our
// own protocol's by default), and tells the front end everything through the report sink.
//
// Stopping: the front end first closes its report channel (so that no worker waits for it),
// then calls stop(), which clears m_running and waits for every worker to end. Every worker
// makes its end report exactly once, also when stopped.
class BatchJob {
public:
    static constexpr int kMaxWorkers = 100;
    static constexpr const char* kThreadLogName = "CfleetsetDlg";

    // Makes the port a worker talks to its device through; the port lives until the next
    // job starts or the engine goes.
    using PortMaker = std::function<std::unique_ptr<DevicePort>(const WorkerContext&, StepReporter&)>;

    // Talks to the devices over our own protocol (OwnProtocolPort).
    BatchJob(CDiscovery& discovery, DeviceTable& devices, const StepInputs& inputs, JobReportSink& sink,
             NeighbourCache& neighbours);
    // Talks to the devices through the ports make_port gives.
    BatchJob(DeviceTable& devices, const StepInputs& inputs, JobReportSink& sink, NeighbourCache& neighbours,
             PortMaker make_port);
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

    // The firmware file's version ("%d.%d.%d"), empty when the file has no readable header.
    static std::string file_version(const std::string& path);
    // The same for a file with our header (its magic): another maker's image has numbers
    // there too, which say nothing. Empty otherwise.
    static std::string own_header_version(const std::string& path);
    // The device runs the file's version: the same numbers, optionally followed by more
    // parts after a '.' or '-' (1.2.3 matches 1.2.3.0 and 1.2.3-build, not 1.2.30 or V1.2.3).
    static bool version_matches(const std::string& path, const std::string& device_version);
    // The same against a version given as text; an empty one never matches.
    static bool version_text_matches(const std::string& version, const std::string& device_version);

private:
    // The job record, shared by the workers of one job; written by
    // start_job and the workers only.
    JobSteps m_dostep;
    std::atomic<bool> m_running{false};
    int32_t m_thrd_cnt = 0;
    std::array<CThread<BatchJob>, kMaxWorkers> m_threads;
    std::array<std::string, kMaxWorkers> m_new_ip;
    std::array<int32_t, kMaxWorkers> m_is_type1{};  // by thread index, from the row at launch
    std::string m_upgrade_file;
    std::string m_user;
    std::string m_password;
    std::array<int32_t, 4> m_stage_cnt{};
    int32_t m_finish_cnt = 0;
    int32_t m_finish_change_ip_cnt = 0;
    CMutex m_job_mutex;
    std::array<std::unique_ptr<DevicePort>, kMaxWorkers> m_ports;  // by slot

    std::array<int, kMaxWorkers> m_slot_row{};                   // the row each slot works on
    std::array<std::atomic<bool>, kMaxWorkers> m_entered{};      // the slot's worker has run

    struct Worker;

    struct Reporter;

    // Job bookkeeping. The two finished handlers run on the workers' threads (the last one
    // through the IP barrier also clears the address cache), so that the receiver of the
    // reports never does slow work; the reports still reach it in the same order.
    void update_progress(int stage);
    // True when this end report completed the job (not after a stop).
    bool finished_one_device(int row);
    void finished_one_device_change_ip(int row);

    // The pass structure and its parts.
    bool ip_phase(Worker& w);
    void run_passes(Worker& w);
    LoginRefusal login_pass(Worker& w);
    bool not_logged_in(Worker& w, LoginRefusal refusal);
    void upgrade_verdict(Worker& w);
    bool run_steps(Worker& w);
    void report(Worker& w, StatusCode code);
    void send(Worker& w, StatusCode code);
    void report_skips(Worker& w);
    void end_unstarted(size_t slot);
    void note(Worker& w, StatusCode code);
    void closing_marks(Worker& w);
    bool settings_requested(const Worker& w) const;
    bool pause(int64_t ms);

    DeviceTable& m_devices;
    const StepInputs& m_inputs;
    JobReportSink& m_sink;
    NeighbourCache& m_neighbours;
    std::string m_local_address;
    PortMaker m_make_port;
};
