#include "sim/DeviceFaults.h"

#include "devsdk/protocol/Messages.h"

#include <algorithm>

using ovix::Kind;

const char* request_name(uint16_t kind) {
    switch (static_cast<Kind>(kind)) {
    case Kind::Login: return "login";
    case Kind::Ping: return "ping";
    case Kind::GetConfig: return "get_config";
    case Kind::SetConfig: return "set_config";
    case Kind::DeviceControl: return "device_control";
    case Kind::LdrControl: return "ldr_control";
    case Kind::IrcutControl: return "ircut_control";
    case Kind::PtzControl: return "ptz_control";
    case Kind::PlayVoice: return "play_voice";
    case Kind::GetCapability: return "get_capability";
    case Kind::UpgradeStart: return "upgrade_start";
    case Kind::LiveStart: return "live_start";
    case Kind::LiveStop: return "live_stop";
    case Kind::LiveControl: return "live_control";
    default: return nullptr;
    }
}

int32_t request_command(const ovix::Frame& frame) {
    ovix::ByteReader r(frame.payload);
    switch (static_cast<Kind>(frame.kind)) {
    case Kind::GetConfig:
    case Kind::SetConfig:
    case Kind::DeviceControl:
    case Kind::LdrControl: {
        const int32_t command = r.i32();
        return r.ok() ? command : -1;
    }
    case Kind::LiveControl: {
        r.u32();
        const int32_t command = r.i32();
        return r.ok() ? command : -1;
    }
    default: return -1;
    }
}

namespace {

// xorshift64: the same fleet configuration injects the same faults in every run.
double next_random(uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<double>(state >> 11) / static_cast<double>(uint64_t{1} << 53);
}

uint64_t seed_of(const CameraView& view) {
    if (view.current.device.faults.seed != 0) return view.current.device.faults.seed;
    uint64_t hash = 1469598103934665603ull;  // FNV-1a of the MAC
    for (char c : view.current.mac_address) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    return hash ? hash : 1;
}

bool matches(const SdkFaultRule& rule, std::string_view request, int32_t command) {
    if (rule.request == "any") {
        if (request == "login" || request == "ping") return false;
    } else if (rule.request != request) {
        return false;
    }
    return rule.command < 0 || rule.command == command;
}

} // namespace

std::optional<int32_t> injected_answer(CameraView& view, std::string_view request, int32_t command) {
    const auto& rules = view.current.device.faults.answers;
    DeviceState& state = view.state;
    if (state.fault_matches.size() != rules.size()) state.fault_matches.assign(rules.size(), 0);
    if (state.random_state == 0) state.random_state = seed_of(view);
    std::optional<int32_t> answer;
    for (size_t i = 0; i < rules.size(); ++i) {
        const SdkFaultRule& rule = rules[i];
        if (!matches(rule, request, command)) continue;
        const uint32_t seen = ++state.fault_matches[i];
        bool fires;
        if (rule.nth > 0)
            fires = seen >= rule.nth && seen - rule.nth < rule.count;
        else
            fires = rule.probability <= 0 || next_random(state.random_state) < rule.probability;
        // Every matching rule counts the request, so that each rule's n-th stays its own.
        if (fires && !answer) answer = rule.result;
    }
    return answer;
}

int64_t LinkPacer::carry(size_t bytes, int64_t now_ms) {
    if (m_rate <= 0) return now_ms;
    const int64_t micro = static_cast<int64_t>(bytes) * 1000000 / m_rate + m_carry_micro;
    m_free_at = std::max(m_free_at, now_ms) + micro / 1000;
    m_carry_micro = micro % 1000;
    return m_free_at;
}
