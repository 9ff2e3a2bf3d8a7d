#pragma once
// A device port in this process: answers as its script says and records what the engine
// asked of it, so that the engine's passes, retries, reports and marks are tested without
// a network.
#include "batch/DevicePort.h"
#include "batch/DeviceTable.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace support {

struct PortScript {
    LoginRefusal refusal = LoginRefusal::None;
    std::map<std::string, std::deque<StepOutcome>> answers;  // by step name; Done once used up
    enum class Upgrade { Completes, NeverCompletes, Hopeless } upgrade = Upgrade::Completes;
    std::string version_after = "2.5.0";
};

class FakePort : public DevicePort {
public:
    FakePort(const WorkerContext& context, StepReporter& reporter, DeviceTable& devices, PortScript script)
        : m_context(context), m_reporter(reporter), m_devices(devices), m_script(std::move(script)) {}

    bool change_address(bool) override { return call("address"), true; }
    LoginResult login(const std::string&) override {
        call("login");
        m_logged_in = m_script.refusal == LoginRefusal::None;
        return {m_logged_in ? 0 : -1, m_script.refusal};
    }
    bool logged_in() const override { return m_logged_in; }
    int32_t handle() const override { return m_logged_in ? 1 : -1; }
    void logout() override { m_logged_in = false; }
    void upgrade(int32_t& passes_left) override {
        call("upgrade");
        if (m_script.upgrade == PortScript::Upgrade::Hopeless) passes_left = 0;
        if (m_script.upgrade != PortScript::Upgrade::Completes) return;
        m_complete = true;
        m_reporter.report(ST_IS_UPGRADE);
        for (int stage : {0, 1, 3, 3, 3, 3, 2}) m_reporter.progress(stage);
        m_version = m_script.version_after;
        m_devices.set_cell(static_cast<size_t>(m_context.row), COL_VERSION, m_version);
    }
    bool upgrade_complete() const override { return m_complete; }
    void read_back_version() override {}
    std::string version_after() const override { return m_version; }
    StepOutcome send_logo(const std::string&) override { return call("logo"); }
    StepOutcome run_command(const std::string& text) override { return call("command " + text); }
    StepOutcome sync_clock() override { return call("clock"); }
    StepOutcome apply_settings(const DeviceSettings& settings) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_settings.push_back(settings);
        return next("settings");
    }
    StepOutcome factory_reset() override { return call("factory"); }
    StepOutcome reset_password() override { return call("reset password"); }

    std::vector<std::string> calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    std::vector<DeviceSettings> settings_sent() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_settings;
    }

private:
    StepOutcome call(const std::string& name) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return next(name);
    }
    StepOutcome next(const std::string& name) {
        m_calls.push_back(name);
        auto& queue = m_script.answers[name.substr(0, name.find(' '))];
        if (queue.empty()) return StepOutcome::Done;
        const StepOutcome outcome = queue.front();
        queue.pop_front();
        return outcome;
    }

    const WorkerContext m_context;
    StepReporter& m_reporter;
    DeviceTable& m_devices;
    PortScript m_script;
    bool m_logged_in = false;
    bool m_complete = false;
    std::string m_version;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::vector<DeviceSettings> m_settings;
};

} // namespace support
