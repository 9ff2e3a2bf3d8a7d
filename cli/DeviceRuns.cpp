#include "cli/DeviceRuns.h"

#include "foundation/Clock.h"

#include <utility>

DeviceRuns::DeviceRuns(DeviceTable& table, const std::vector<int>& rows, TextLookup text)
    : m_table(table), m_text(std::move(text)) {
    for (int row : rows) {
        DeviceRun run;
        run.row = row;
        if (auto current = table.row(static_cast<size_t>(row))) {
            run.mac = current->mac;
            run.ip_before = current->ip;
            run.version_before = current->version;
        }
        if (static_cast<size_t>(row) >= m_index_of_row.size()) m_index_of_row.resize(static_cast<size_t>(row) + 1, -1);
        m_index_of_row[static_cast<size_t>(row)] = static_cast<int>(m_runs.size());
        m_runs.push_back(std::move(run));
    }
}

DeviceRun* DeviceRuns::find(int row) {
    if (row < 0 || static_cast<size_t>(row) >= m_index_of_row.size() || m_index_of_row[static_cast<size_t>(row)] < 0)
        return nullptr;
    return &m_runs[static_cast<size_t>(m_index_of_row[static_cast<size_t>(row)])];
}

void DeviceRuns::changed(const DeviceRun& run) {
    if (m_changed) m_changed(run);
}

void DeviceRuns::launched(const std::vector<int>& rows) {
    const int64_t now = Clock::now_ms();
    for (int row : rows) {
        if (DeviceRun* run = find(row)) {
            run->state = DeviceRun::State::Running;
            run->started_ms = now;
            changed(*run);
        }
    }
}

void DeviceRuns::report(ReportKind kind, uint32_t payload, const std::vector<int>& job_rows) {
    switch (kind) {
    case REPORT_STATUS: {
        const int row = static_cast<int>(report_high(payload));
        DeviceRun* run = find(row);
        if (!run) return;  // rows outside the run are the engine's business only
        run->codes.push_back(report_low(payload));
        apply_status(m_table, static_cast<size_t>(row), report_low(payload), m_text);
        changed(*run);
        return;
    }
    case REPORT_PROGRESS:
        // A job's progress is shared by its devices; a job of one device shows its own.
        for (int row : job_rows) {
            DeviceRun* run = find(row);
            if (run && run->state == DeviceRun::State::Running && run->percent != static_cast<int>(payload)) {
                run->percent = static_cast<int>(payload);
                changed(*run);
            }
        }
        return;
    case REPORT_DEVICE_DONE:
        if (DeviceRun* run = find(static_cast<int>(payload))) {
            ++run->end_reports;
            run->state = DeviceRun::State::Ended;
            run->ended_ms = Clock::now_ms();
            changed(*run);
        }
        return;
    default:
        return;  // job state, done count and the address barrier concern the engine
    }
}

void DeviceRuns::stopped(const std::string& not_started_note) {
    for (DeviceRun& run : m_runs) {
        if (run.state == DeviceRun::State::Running) run.stopped = true;
        if (run.state == DeviceRun::State::Waiting) not_started(run.row, not_started_note);
    }
}

void DeviceRuns::not_started(int row, const std::string& note) {
    if (DeviceRun* run = find(row)) {
        run->state = DeviceRun::State::NotStarted;
        run->note = note;
        changed(*run);
    }
}
