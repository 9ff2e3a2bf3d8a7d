#include "cli/JobScheduler.h"

#include "foundation/Clock.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace {
// How often the loop looks for a stop and lets the caller redraw when no report comes.
constexpr int64_t kTurnMs = 100;
} // namespace

struct JobScheduler::Slot {
    std::vector<int> rows;
    size_t ended = 0;
    // Reports still queued when the slot is gone find this expired and are dropped.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
    std::unique_ptr<ReportChannel> channel;
    std::unique_ptr<BatchJob> job;  // declared last: destroyed (and its workers joined) first

    void finish() {
        // Closed first, so that no worker waits for a receiver that is waiting for it.
        channel->close();
        job->stop();
    }
};

JobScheduler::JobScheduler(CDiscovery& discovery, DeviceTable& devices, const StepInputs& inputs,
                           NeighbourCache& neighbours, Hooks hooks, BatchJob::PortMaker make_port)
    : m_discovery(discovery), m_devices(devices), m_inputs(inputs), m_neighbours(neighbours), m_hooks(std::move(hooks)),
      m_make_port(std::move(make_port)) {}

JobScheduler::~JobScheduler() {
    for (auto& slot : m_slots) slot->finish();
}

bool JobScheduler::run(const JobLaunch& launch, const std::vector<std::vector<JobDevice>>& batches, int max_alive) {
    size_t next = 0;
    bool stopped = false;
    for (;;) {
        if (!stopped && m_hooks.stop_requested && m_hooks.stop_requested()) {
            stopped = true;
            if (m_hooks.stopping) m_hooks.stopping();
            stop_all();
        }
        while (!stopped && next < batches.size() && m_slots.size() < static_cast<size_t>(max_alive))
            launch_next(launch, batches[next++]);
        if (m_slots.empty() && (stopped || next >= batches.size())) break;
        m_queue->run_pending(std::max<int64_t>(1, Clock::real_ms(kTurnMs)));
        reap_ended();
        if (m_hooks.tick) m_hooks.tick();
    }
    if (m_hooks.tick) m_hooks.tick();
    return !stopped;
}

void JobScheduler::launch_next(const JobLaunch& launch, const std::vector<JobDevice>& batch) {
    auto slot = std::make_unique<Slot>();
    for (const JobDevice& device : batch) slot->rows.push_back(device.row);
    Slot* raw = slot.get();
    auto dispatch = [queue = m_queue, alive = std::weak_ptr<bool>(slot->alive)](ReportChannel::Task task) {
        queue->push([alive, task = std::move(task)] {
            if (!alive.expired()) task();
        });
    };
    slot->channel = std::make_unique<ReportChannel>(
        dispatch, [this, raw](ReportKind kind, uint32_t payload) { on_report(*raw, kind, payload); });
    slot->channel->open();
    slot->job = m_make_port
                    ? std::make_unique<BatchJob>(m_devices, m_inputs, *slot->channel, m_neighbours, m_make_port)
                    : std::make_unique<BatchJob>(m_discovery, m_devices, m_inputs, *slot->channel, m_neighbours);

    JobLaunch job_launch = launch;
    job_launch.devices = batch;
    if (m_hooks.launched) m_hooks.launched(slot->rows);
    if (slot->job->start_job(job_launch) == 0) {
        slot->finish();
        if (m_hooks.refused) m_hooks.refused(slot->rows);
        return;
    }
    m_slots.push_back(std::move(slot));
}

void JobScheduler::on_report(Slot& slot, ReportKind kind, uint32_t payload) {
    if (kind == REPORT_DEVICE_DONE) ++slot.ended;
    if (m_hooks.report) m_hooks.report(kind, payload, slot.rows);
}

void JobScheduler::reap_ended() {
    for (auto it = m_slots.begin(); it != m_slots.end();) {
        if ((*it)->ended >= (*it)->rows.size()) {
            (*it)->finish();
            it = m_slots.erase(it);
        } else {
            ++it;
        }
    }
}

void JobScheduler::stop_all() {
    for (auto& slot : m_slots) slot->channel->close();
    // Every job's workers wind down at once; one job after the other would add their waits up.
    std::vector<std::thread> stoppers;
    for (auto& slot : m_slots) stoppers.emplace_back([job = slot->job.get()] { job->stop(); });
    for (std::thread& stopper : stoppers) stopper.join();
    // Every worker has returned, so every end report is queued by now.
    while (m_queue->run_pending(0) > 0) {
    }
    m_slots.clear();
}
