#pragma once
#include "batch/DeviceSettings.h"
#include "batch/JobSteps.h"
#include "batch/JobReport.h"
#include "batch/StepInputs.h"

#include <atomic>
#include <cstdint>
#include <string>

// How one step ended. Unsupported: the device's protocol has no way to do it, which is
// neither a failure nor success (its own mark, never retried).
enum class StepOutcome { Done, Failed, Busy, Unsupported };

// Why a login was refused; a refused login is never tried again.
enum class LoginRefusal { None, WrongUser, UserLimit, RefusedNow };

struct LoginResult {
    int32_t code = -1;  // the protocol's own result, for the log
    LoginRefusal refusal = LoginRefusal::None;
};

// What a step may tell the job: row statuses (posted, or sent and waited for) and the
// progress stages 0..3 of the upgrade.
class StepReporter {
public:
    virtual ~StepReporter() = default;
    virtual void report(StatusCode code) = 0;
    virtual void send(StatusCode code) = 0;
    virtual void progress(int stage) = 0;
};

// What a step reads of its worker: the device it works on, the job's inputs, and whether
// the job still runs. Filled at the worker's start and not changed by the job afterwards.
struct WorkerContext {
    int row = 0;
    int slot = 0;  // the worker's index in the job
    std::string mac;
    std::string ip;       // the address the row showed at the worker's start
    int32_t port = 0;
    bool is_type1 = false;
    std::string new_ip;   // the address the job gives it; empty: none
    bool auto_ip = false; // the device is reached at new_ip after the address change
    std::string upgrade_file;
    std::string user;
    std::string password;
    const StepInputs* inputs = nullptr;
    const std::atomic<bool>* job_running = nullptr;

    bool running() const { return job_running->load(); }
};

// One device as a job's steps see it: what a step does to it, whatever the protocol. The
// engine's passes, barrier, retries, reports and marks sit above this; a protocol plugs in
// by implementing it. One object per worker, used from that worker's thread only (a
// protocol's own threads may only clear the login through dropped-login events).
class DevicePort {
public:
    virtual ~DevicePort() = default;

    // The address request before any login; fixed: the network box's address, mask and
    // gateway, else the context's new address. True when the request was sent and answered.
    virtual bool change_address(bool fixed) = 0;

    virtual LoginResult login(const std::string& address) = 0;
    virtual bool logged_in() const = 0;
    virtual int32_t handle() const = 0;  // for the log; -1 when not logged in
    virtual void logout() = 0;

    // The upgrade stage of a pass: hand the firmware over, follow the transfer, wait out the
    // reboot and log in again. Sets passes_left to 0 when trying again cannot help.
    virtual void upgrade(int32_t& passes_left) = 0;
    virtual bool upgrade_complete() const = 0;  // the transfer reached 100 % on some pass
    // Reads the version the device runs since its reboot into the row; empty until read.
    virtual void read_back_version() = 0;
    virtual std::string version_after() const = 0;
    // The version the upgrade must leave the device on; empty: the firmware file's header's as
    // the engine reads it.
    virtual std::string expected_version() const { return {}; }

    // False when the protocol has no way to do any of these steps (the address steps are
    // done before): the job then marks them unsupported without logging in.
    virtual bool can_do_any(const JobSteps& steps) const {
        (void)steps;
        return true;
    }

    virtual StepOutcome send_logo(const std::string& path) = 0;
    virtual StepOutcome run_command(const std::string& text) = 0;
    virtual StepOutcome sync_clock() = 0;  // to this machine's local time
    virtual StepOutcome apply_settings(const DeviceSettings& settings) = 0;
    virtual StepOutcome factory_reset() = 0;
    virtual StepOutcome reset_password() = 0;
};
