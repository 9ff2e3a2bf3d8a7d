#pragma once
#include <cstdint>

// The report channel from the batch workers to the window: one report is a kind and a
// 32-bit payload. The message number is kept so that the reports keep one identity across
// the window, the tests and the command line.
constexpr uint32_t WM_USER_BASE = 0x0400;
constexpr uint32_t WM_JOB_REPORT = WM_USER_BASE + 100;  // 0x464
static_assert(WM_JOB_REPORT == 0x464);

enum ReportKind : uint32_t {
    REPORT_PROGRESS = 0,        // percent 0 to 100
    REPORT_JOB_STATE = 1,       // 0: the job started or ended
    REPORT_DONE_COUNT = 2,      // (devices done << 16) | workers of the job
    REPORT_STATUS = 3,          // (row << 16) | status code
    REPORT_CHANGE_IP_DONE = 4,  // row
    REPORT_DEVICE_DONE = 5,     // row
};

// Status codes, the low half of a REPORT_STATUS payload. 5 is not used.
enum StatusCode : uint32_t {
    ST_USER_NAME_NOT_EXIST = 0,
    ST_LOGIN_FAIL = 1,
    ST_DISMATCH_UPGRADE_VERSION = 2,
    ST_INVALID_UPGRADE_FILE = 3,
    ST_DISMATCH_UPGRADE_BOARD_TYPE = 4,
    ST_IS_UPGRADE = 6,
    ST_UPGRADE_FAIL_RETRY_LATER = 7,
    ST_UPGRADE_OK = 8,
    ST_UPGRADE_FAIL = 9,
    ST_IS_LOGINING = 10,
    ST_WAIT_REBOOT = 11,
    ST_UPGRADE_SKIP = 12,
    ST_CHANGE_IP_FAIL = 13,
    ST_CHANGE_IP_OK = 14,
    ST_CHANGE_IP_SKIP = 15,
    ST_TIME_SYNC_FAIL = 16,
    ST_TIME_SYNC_OK = 17,
    ST_TIME_SYNC_SKIP = 18,
    ST_LOGO_FAIL = 19,
    ST_LOGO_OK = 20,
    ST_LOGO_SKIP = 21,
    ST_COMMAND_FAIL = 22,
    ST_COMMAND_OK = 23,
    ST_COMMAND_SKIP = 24,
    ST_SETTING_FAIL = 25,
    ST_SETTING_OK = 26,
    ST_SETTING_SKIP = 27,
    ST_CLEAR_ROW = 28,
    ST_LOGIN_MAX_USER = 29,
    // The device's protocol cannot do the step: neither done nor failed.
    ST_LOGO_UNSUPPORTED = 30,
    ST_COMMAND_UNSUPPORTED = 31,
    ST_TIME_SYNC_UNSUPPORTED = 32,
    ST_SETTING_UNSUPPORTED = 33,
};

// Codes from here on change nothing.
constexpr uint32_t kFirstUnknownStatus = 34;

// Payload packing: a row (or count) in the high half, a code (or count) in the low half.
constexpr uint32_t pack_report(uint32_t high, uint32_t low) {
    return ((high & 0xFFFFu) << 16) | (low & 0xFFFFu);
}
constexpr uint32_t report_high(uint32_t payload) { return payload >> 16; }
constexpr uint32_t report_low(uint32_t payload) { return payload & 0xFFFFu; }
