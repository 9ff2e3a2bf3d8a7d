#pragma once
#include "batch/DeviceTable.h"
#include "history/JobHistory.h"

#include <vector>

// The history entry of a job the batch window ran, made at its end from the launched rows as
// they stand: addresses and versions after the job, marks, messages. The window keeps no copy
// of the rows before the job, so the "before" fields stay empty and the job starts when it ends.
HistoryJob window_history_job(const std::vector<DeviceRow>& rows, const std::vector<int>& launched);

// Appends the job to the user's history on a thread of its own, so that a locked database
// never holds up the window; a failure goes to the diagnostic log.
void append_window_job(HistoryJob job);
