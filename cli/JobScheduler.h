#pragma once
#include "batch/BatchJob.h"
#include "batch/ReportChannel.h"
#include "cli/TaskQueue.h"

#include <functional>
#include <memory>
#include <vector>

class CDiscovery;
class DeviceTable;
class NeighbourCache;
class StepInputs;

// Runs a command-line job as a queue of engine jobs over one device table: each entry of
// `batches` becomes one BatchJob with its own report channel, and at most `max_alive` of
// them run at once; the next starts as soon as one has ended. A job of one device per batch
// keeps N devices busy at all times; a batch of N devices with max_alive 1 gives rounds
// that each share one address-change barrier.
//
// Everything but the workers runs on the calling thread: the reports arrive through a task
// queue drained by run(), which also polls for a stop and lets the caller redraw.
class JobScheduler {
public:
    struct Hooks {
        std::function<void(const std::vector<int>& rows)> launched;
        std::function<void(const std::vector<int>& rows)> refused;  // start_job started nothing
        std::function<void(ReportKind, uint32_t, const std::vector<int>& job_rows)> report;
        std::function<bool()> stop_requested;
        std::function<void()> stopping;  // once, before the jobs are stopped
        std::function<void()> tick;      // after every turn of the loop
    };

    // make_port: the port each worker talks through; empty: our protocol over `discovery`.
    JobScheduler(CDiscovery& discovery, DeviceTable& devices, const StepInputs& inputs, NeighbourCache& neighbours,
                 Hooks hooks, BatchJob::PortMaker make_port = {});
    ~JobScheduler();

    // `launch` carries everything but the devices. Returns when every job has ended or,
    // after a stop, when every started device has made its end report. True unless stopped.
    bool run(const JobLaunch& launch, const std::vector<std::vector<JobDevice>>& batches, int max_alive);

private:
    struct Slot;

    void launch_next(const JobLaunch& launch, const std::vector<JobDevice>& batch);
    void on_report(Slot& slot, ReportKind kind, uint32_t payload);
    void reap_ended();
    void stop_all();

    CDiscovery& m_discovery;
    DeviceTable& m_devices;
    const StepInputs& m_inputs;
    NeighbourCache& m_neighbours;
    Hooks m_hooks;
    BatchJob::PortMaker m_make_port;
    std::shared_ptr<TaskQueue> m_queue = std::make_shared<TaskQueue>();
    std::vector<std::unique_ptr<Slot>> m_slots;
};
