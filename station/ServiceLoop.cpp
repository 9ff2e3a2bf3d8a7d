#include "station/ServiceLoop.h"

#include "foundation/Clock.h"

#include <chrono>

ServiceLoop::ServiceLoop(StationSdk& sdk) : m_sdk(sdk) {}

bool ServiceLoop::request(Test test) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop || m_requested[test]) return false;
        m_requested[test] = true;
    }
    m_wake.notify_all();
    return true;
}

bool ServiceLoop::request_mic() { return request(kMic); }
bool ServiceLoop::request_white() { return request(kWhite); }
bool ServiceLoop::request_ir() { return request(kIr); }

bool ServiceLoop::pending(Test test) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requested[test];
}

bool ServiceLoop::mic_running() const { return pending(kMic); }
bool ServiceLoop::white_running() const { return pending(kWhite); }
bool ServiceLoop::ir_running() const { return pending(kIr); }

void ServiceLoop::set_handles(std::function<int32_t()> login_handle, std::function<int32_t()> live_handle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_login_handle = std::move(login_handle);
    m_live_handle = std::move(live_handle);
}

void ServiceLoop::run_pass(int32_t login_handle, int32_t live_handle) {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return m_stop || m_requested[kMic] || m_requested[kWhite] || m_requested[kIr]; });
    }
    for (const Test test : {kMic, kWhite, kIr}) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop || !m_requested[test]) continue;
            m_serving = test;
        }
        serve(test, login_handle, live_handle);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requested[test] = false;
        m_serving = -1;
    }
}

void ServiceLoop::serve(Test test, int32_t login_value, int32_t live_value) {
    std::function<int32_t()> login_getter, live_getter;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        login_getter = m_login_handle;
        live_getter = m_live_handle;
    }
    const auto login = [&] { return login_getter ? login_getter() : login_value; };
    const auto live = [&] { return live_getter ? live_getter() : live_value; };
    switch (test) {
    case kMic:
        m_sdk.live_control(live(), OVIX_LIVE_MIC_OPEN, nullptr);
        wait_unless_stopped(kMicTestMs);
        m_sdk.live_control(live(), OVIX_LIVE_MIC_CLOSE, nullptr);
        break;
    case kWhite:
    case kIr: {
        // Value 2 selects the lamp: 1 white, 0 infrared.
        const int32_t white = test == kWhite ? 1 : 0;
        m_sdk.device_control(login(), OVIX_CTRL_LAMP, 0, 1, white);
        wait_unless_stopped(kLampTestMs);
        m_sdk.device_control(login(), OVIX_CTRL_LAMP, 0, 0, white);
        break;
    }
    case kTestCount: break;
    }
}

// A stop cuts the wait short because closing the window or opening a new session waits for
// this thread: a full test would freeze the window for up to 10 s. The closing command still
// goes so that the microphone or the lamp is not left on.
void ServiceLoop::wait_unless_stopped(int64_t system_ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(Clock::real_ms(system_ms)), [this] { return m_stop; });
}

void ServiceLoop::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        for (int test = 0; test < kTestCount; ++test)
            if (test != m_serving) m_requested[test] = false;
    }
    m_wake.notify_all();
}

void ServiceLoop::restart() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = false;
}

bool ServiceLoop::stopping() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stop;
}

void ServiceLoop::clear_requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int test = 0; test < kTestCount; ++test)
        if (test != m_serving) m_requested[test] = false;
}
