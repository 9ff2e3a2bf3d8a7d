#pragma once
#include "batch/DeviceTable.h"
#include "batch/JobReport.h"
#include "batch/StatusMarks.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What a run saw of one device: its state before, every status code in order, its end.
struct DeviceRun {
    enum class State { Waiting, Running, Ended, NotStarted };

    int row = -1;
    std::string mac;
    std::string ip_before;
    std::string version_before;
    State state = State::Waiting;
    std::vector<uint32_t> codes;
    int percent = -1;          // the last progress of its job; -1 before any
    int end_reports = 0;       // a device has exactly one when all went right
    int64_t started_ms = -1;   // Clock time of its launch
    int64_t ended_ms = -1;     // Clock time of its end report
    bool stopped = false;      // the run was stopped before the device ended by itself
    std::string note;          // why it never started
};

// The devices of one run, fed with the reports of their jobs on the receiving thread: the
// marks and messages go into the device table as in the window, the rest into each
// device's DeviceRun.
class DeviceRuns {
public:
    using Changed = std::function<void(const DeviceRun&)>;

    DeviceRuns(DeviceTable& table, const std::vector<int>& rows, TextLookup text);

    void on_changed(Changed changed) { m_changed = std::move(changed); }
    void launched(const std::vector<int>& rows);
    // One report of the job that works on job_rows.
    void report(ReportKind kind, uint32_t payload, const std::vector<int>& job_rows);
    // Devices that have not ended by now were stopped; those still waiting never start.
    void stopped(const std::string& not_started_note);
    void not_started(int row, const std::string& note);

    const std::vector<DeviceRun>& runs() const { return m_runs; }
    DeviceTable& table() { return m_table; }

private:
    DeviceRun* find(int row);
    void changed(const DeviceRun& run);

    DeviceTable& m_table;
    TextLookup m_text;
    std::vector<DeviceRun> m_runs;
    std::vector<int> m_index_of_row;  // by table row; -1 for rows not in the run
    Changed m_changed;
};
