#pragma once
#include "station/StationSdk.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

// The service thread's work: the timed manual tests, run off the window's thread so that the
// window stays responsive. A request stays pending from the click until its test has
// finished; requests for different tests queue up and run in the fixed order microphone
// (10 s), white light (3 s), infrared lamp (3 s). The owner runs run_pass() in a loop on its
// thread until stopping().
class ServiceLoop {
public:
    static constexpr int64_t kMicTestMs = 10000;
    static constexpr int64_t kLampTestMs = 3000;

    explicit ServiceLoop(StationSdk& sdk);
    ServiceLoop(const ServiceLoop&) = delete;
    ServiceLoop& operator=(const ServiceLoop&) = delete;

    // False (ignored) while that test is pending or running, or while the loop is stopped.
    bool request_mic();
    bool request_white();
    bool request_ir();
    // True from the accepted request until the test's closing command has gone.
    bool mic_running() const;
    bool white_running() const;
    bool ir_running() const;

    // Getters through which each SDK call reads the current handles. When set, they replace
    // the values given to run_pass, which were read before the pass started waiting and may
    // be stale by the time a request arrives.
    void set_handles(std::function<int32_t()> login_handle, std::function<int32_t()> live_handle);

    // One wait-and-serve pass on the service thread: waits (without spinning) until a request
    // or stop(), then serves every pending request in the fixed order. Returns at once when
    // stopped.
    void run_pass(int32_t login_handle, int32_t live_handle);

    // Wakes the thread. A timed test in progress ends early but still sends its closing
    // command; requests not yet started are dropped, as they belong to the session that is
    // being closed.
    void stop();
    // Clears the stop so that the loop can run again.
    void restart();
    bool stopping() const;
    void clear_requests();

private:
    enum Test { kMic, kWhite, kIr, kTestCount };

    bool request(Test test);
    bool pending(Test test) const;
    void serve(Test test, int32_t login_value, int32_t live_value);
    void wait_unless_stopped(int64_t system_ms);

    StationSdk& m_sdk;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_requested[kTestCount] = {};
    int m_serving = -1;  // the test in progress, -1 for none
    bool m_stop = false;
    std::function<int32_t()> m_login_handle;
    std::function<int32_t()> m_live_handle;
};
