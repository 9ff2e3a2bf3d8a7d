#pragma once
#include "devsdk/protocol/Messages.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

// What a camera's device SDK side received and did, for tests (SimCamera::device_record) and
// for black-box checks through fleetset-sim's record file. Lists keep the most recent
// kHistory entries; counters are totals.
struct DeviceRecord {
    static constexpr size_t kHistory = 256;
    static constexpr size_t kLogoBytesKept = 4u << 20;

    struct Request {
        std::string request;  // the fault-rule name of its kind, e.g. "set_config"
        int32_t command = -1; // config command, control or LDR code, live control; -1 for none
        int32_t result = 0;
    };
    struct Login {
        std::string user;
        int32_t result = 0;
    };
    // Controls are kept as they came over the wire.
    using Control = ovix::DeviceControl;
    using CodeValue = ovix::CodeValue;
    using Ptz = ovix::PtzRequest;
    struct Logo {
        int32_t announced = -1;      // the length the start command gave; -1 before any start
        std::vector<uint8_t> bytes;  // the data as it arrived (the first kLogoBytesKept)
        std::vector<uint32_t> chunks;
        bool finished = false;
        int32_t finish_result = -1;
    };
    struct Upgrade {
        std::string version;         // of the file's header; empty when it could not be read
        int32_t start_result = 0;
        uint64_t image_bytes = 0;    // image bytes that arrived
        std::string outcome;         // refused, receiving, complete, invalid, aborted, dropped, stalled, abandoned, failed
    };
    struct Live {
        uint32_t stream_id = 0;
        int32_t command = 0;         // 3 microphone open, 4 close, 10 frame rate, 11 zoom; 0 start, -1 stop
        std::array<int32_t, 3> values{};
    };

    uint64_t requests = 0;
    std::deque<Request> commands;
    uint64_t logins_accepted = 0;
    uint64_t logins_refused = 0;
    std::deque<Login> logins;
    std::deque<std::vector<uint8_t>> settings_records;  // each as received, 1164 bytes
    std::deque<std::array<uint8_t, 72>> clock_writes;
    std::deque<std::string> shell_commands;
    Logo logo;
    uint64_t logo_uploads = 0;                          // finished ones
    std::deque<Control> controls;                       // device controls: 2, 4, 100 and unknown ones
    std::deque<CodeValue> ldr;                          // LDR writes in order
    std::deque<int32_t> ircut;
    std::deque<Ptz> ptz;
    std::deque<int32_t> voice;
    std::deque<Live> live;
    std::deque<Upgrade> upgrades;
    uint64_t reboots = 0;
    uint64_t factory_resets = 0;
    uint64_t password_resets = 0;

    // The ONVIF side's calls: the operation, the arguments that matter ("10.77.5.5/16",
    // "user Admin", a time set) and the HTTP status of the answer.
    struct OnvifCall {
        std::string operation;
        std::string detail;
        int http_status = 200;
    };
    uint64_t onvif_requests = 0;
    std::deque<OnvifCall> onvif_calls;
};

template <class T>
void push_recent(std::deque<T>& list, T value) {
    list.push_back(std::move(value));
    if (list.size() > DeviceRecord::kHistory) list.pop_front();
}

// The camera's device state that is not configuration: power, logins, the clock, lamps.
struct DeviceState {
    bool online = true;
    uint64_t boot = 0;              // counts starts; a login of an earlier start no longer counts
    int active_logins = 0;
    bool upgrading = false;
    std::string installed_version;  // waiting for the next start
    bool restore_at_boot = false;   // a factory reset is waiting for the next start
    int64_t clock_offset_ms = 0;    // device local time minus the host's UTC
    std::array<uint8_t, 48> clock_words{};  // bytes 0..47 of the clock record
    bool white_lamp = false;
    bool infrared_lamp = false;
    int32_t ircut = 1;
    bool microphone_open = false;
    std::map<int32_t, int32_t> ldr;  // current LDR settings by code
    uint64_t logo_size = 0;          // the installed logo
    std::vector<uint32_t> fault_matches;  // requests each answer rule has matched
    uint64_t random_state = 0;
};
