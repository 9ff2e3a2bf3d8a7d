#pragma once
#include "batch/JobReport.h"

#include <cstdint>

// Where a batch worker sends its reports. The window implements it; tests and the command
// line front end give their own. Both calls may come from any thread.
class JobReportSink {
public:
    virtual ~JobReportSink() = default;

    // Queues the report for the receiver and returns at once.
    virtual void post_report(ReportKind kind, uint32_t payload) = 0;

    // Returns once the receiver has handled the report, for reports whose order matters
    // (the IP-phase barrier, a refused login, the reboot wait).
    //
    // Must never block once the job is stopped: stopping a job waits on the receiver's
    // thread for every worker to end, so a worker held here would wait for a thread that
    // waits for it. A stopped receiver therefore takes the report as a post (or drops it)
    // and returns at once, and a send that is already waiting when the job stops is
    // released. While the job runs a send keeps its guarantee.
    virtual void send_report(ReportKind kind, uint32_t payload) = 0;
};
