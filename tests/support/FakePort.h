#pragma once
// A device port in this process: answers as its script says and records what the engine
// asked of it, so that the passes, retries, reports and marks are tested without a network.
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
    bool reachable = true;
    std::map<std::string, std::deque<StepOutcome>> answers;  // by call name; Done once used up
    enum class Upgrade { Completes, NeverCompletes, Hopeless } upgrade = Upgrade::Completes;
    std::string version_after = "2.5.0";
};

class FakePort : public DevicePort {
public:
    FakePort(const WorkerContext& context, StepReporter& reporter, DeviceTable& devices, PortScript script)
        : m_row(static_cast<size_t>(context.row)), m_reporter(reporter), m_devices(devices), m_script(std::move(script)) {}

    bool change_address(bool) override { return call("address") == StepOutcome::Done; }
    LoginResult login(const std::string&) override {
        call("login");
        m_logged_in = m_script.reachable && m_script.refusal == LoginRefusal::None;
        return {m_logged_in ? 0 : -1, m_script.refusal};
    }
    bool logged_in() const override { return m_logged_in; }
    int32_t handle() const override { return m_logged_in ? 1 : -1; }
    void logout() override { m_logged_in = false; }
    // A completed upgrade reports as the SDK port's does, the version read back included.
    void upgrade(int32_t& passes_left) override {
        call("upgrade");
        if (m_script.upgrade == PortScript::Upgrade::Hopeless) passes_left = 0;
        if (m_script.upgrade != PortScript::Upgrade::Completes) return;
        m_complete = true;
        m_reporter.report(ST_IS_UPGRADE);
        for (int stage : {0, 1, 3, 3, 3, 3, 2}) m_reporter.progress(stage);
        m_version = m_script.version_after;
        m_devices.set_cell(m_row, COL_VERSION, m_version);
    }
    bool upgrade_complete() const override { return m_complete; }
    void read_back_version() override {}
    std::string version_after() const override { return m_version; }
    StepOutcome send_logo(const std::string&) override { return call("logo"); }
    StepOutcome run_command(const std::string& text) override { return call("command", text); }
    StepOutcome sync_clock() override { return call("clock"); }
    StepOutcome apply_settings(const DeviceSettings& settings) override { return call("settings", {}, &settings); }
    StepOutcome factory_reset() override { return call("factory"); }
    StepOutcome reset_password() override { return call("reset"); }

    std::vector<std::string> calls() const { return locked(m_calls); }
    std::vector<DeviceSettings> settings_sent() const { return locked(m_settings); }
    long count(const std::string& name) const {
        const auto all = calls();
        return std::count(all.begin(), all.end(), name);
    }

private:
    StepOutcome call(const std::string& name, const std::string& text = {}, const DeviceSettings* settings = nullptr) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(text.empty() ? name : name + " " + text);
        if (settings) m_settings.push_back(*settings);
        auto& queue = m_script.answers[name];
        if (queue.empty()) return StepOutcome::Done;
        const StepOutcome outcome = queue.front();
        queue.pop_front();
        return outcome;
    }
    template <typename T> T locked(const T& value) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return value;
    }

    const size_t m_row;
    StepReporter& m_reporter;
    DeviceTable& m_devices;
    PortScript m_script;
    bool m_logged_in = false, m_complete = false;
    std::string m_version;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::vector<DeviceSettings> m_settings;
};

} // namespace support
