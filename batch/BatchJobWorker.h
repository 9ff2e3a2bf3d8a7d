#pragma once
#include "batch/BatchJob.h"

#include <random>
#include <string>

// One worker's state for its whole run; names as in the worker's log lines.
struct BatchJob::Worker {
    int row = 0;
    int thrd_index = 0;
    std::string mac;
    std::string ip;
    std::string login_address;  // where the last pass tried to log in
    int32_t port = 0;
    int32_t device_handle = -1;
    int32_t upgrade_handle = -1;
    bool update_complete = false;
    int32_t max_try_cnt = 10;
    int32_t max_wait_time = 60000;
    int32_t retry_step = 0;
    bool need_set_customer_cfg = false;
    ::customer_cfg customer_cfg{};
    std::array<bool, 3> count_stage{true, true, true};  // stages 0..2 counted at most once
    int32_t wait_ticks = 0;
    std::mt19937 random;          // a generator of its own: workers never share one
    int64_t dropped_at_ms = -1;   // when the device went down for its reboot
    std::string version_after;    // read back after the reboot; empty until then
    bool upgrade_ok_reported = false;
    bool is_type1 = false;
    uint32_t settled = 0;  // mark columns (bit column - 6) that got a done or failed mark
    int32_t reason = -1;   // the last failure reason reported, for the row's closing message
};

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

inline constexpr const char* kJobFile = "fleetsetDlg";
