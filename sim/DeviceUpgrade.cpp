// A camera's side of a firmware upgrade: the checks before any data moves, the transfer with
// its progress reports and injected faults, and the restart into the new version.
#include "devsdk/ovix_client.h"
#include "foundation/Clock.h"
#include "sim/DeviceSession.h"

#include <cstdlib>

using namespace ovix;

namespace {

// "2.4.1", "3.0.0-rc2": the leading numbers; missing ones are 0.
FirmwareVersion parse_version(const std::string& text) {
    int32_t parts[3] = {0, 0, 0};
    const char* p = text.c_str();
    for (int i = 0; i < 3 && *p; ++i) {
        char* end = nullptr;
        const long value = std::strtol(p, &end, 10);
        if (end == p) break;
        parts[i] = static_cast<int32_t>(value);
        if (*end != '.') break;
        p = end + 1;
    }
    return FirmwareVersion{parts[0], parts[1], parts[2]};
}

bool version_accepted(VersionPolicy policy, const FirmwareVersion& offered, const std::string& installed) {
    const FirmwareVersion current = parse_version(installed);
    switch (policy) {
    case VersionPolicy::Any: return true;
    case VersionPolicy::NotOlder: return offered >= current;
    case VersionPolicy::Newer: return offered > current;
    }
    return false;
}

DeviceRecord::Upgrade* transfer_entry(DeviceRecord& record) {
    for (auto it = record.upgrades.rbegin(); it != record.upgrades.rend(); ++it)
        if (it->outcome == "receiving" || it->outcome == "stalled") return &*it;
    return nullptr;
}

} // namespace

Answer DeviceSession::upgrade_start(const Frame& frame) {
    UpgradeStart start;
    if (!decode(frame.payload, start)) return Answer{OVIX_ERR_BAD_REQUEST, {}};
    const CameraConfig current = m_device.camera.current();
    FirmwareInfo info;
    // An image beyond any firmware's size is no firmware, whatever its header says; taking it
    // would hold the camera for as long as the sender likes.
    int32_t result = start.file_size > kFirmwareHeaderSize + kMaxFirmwareImage
                         ? OVIX_ERR_UPGRADE_INVALID
                         : check_upgrade_start(start, board_type_text(current.board_type), info);
    if (result == OVIX_OK && !version_accepted(current.device.version_policy, info.version, current.software_ver))
        result = OVIX_ERR_UPGRADE_VERSION;
    const std::string version = result == OVIX_ERR_UPGRADE_INVALID ? std::string() : version_text(info.version);
    m_device.camera.update([&](CameraView& view) {
        if (result == OVIX_OK) {
            if (view.state.upgrading)
                result = OVIX_ERR_BUSY;
            else
                view.state.upgrading = true;
        }
        push_recent(view.record.upgrades, DeviceRecord::Upgrade{version, result, 0, result == OVIX_OK ? "receiving" : "refused"});
    });
    if (result != OVIX_OK) return Answer{result, {}};
    m_upgrade.begin(info);
    m_upgrade_held = true;
    m_upgrade_stalled = false;
    m_last_progress_ms = m_last_image_ms = Clock::now_ms();
    return Answer{OVIX_OK, {}};
}

bool DeviceSession::upgrade_data(const Frame& frame) {
    // After an abort, a stall or the end, further bytes go nowhere.
    if (!m_upgrade.upgrading || m_upgrade_stalled) return true;
    UpgradeProgress progress;
    const bool report = m_upgrade.take(frame.payload, progress);
    m_last_image_ms = Clock::now_ms();
    SdkFaults faults;
    std::string version;
    m_device.camera.update([&](CameraView& view) {
        faults = view.current.device.faults;
        if (auto* entry = transfer_entry(view.record)) {
            entry->image_bytes = m_upgrade.received;
            version = entry->version;
        }
    });
    const int32_t percent = m_upgrade.percent();
    const bool receiving = progress.state == kUpgradeReceiving;
    if (receiving && faults.upgrade_drop_percent >= 0 && percent >= faults.upgrade_drop_percent) {
        upgrade_ended("dropped");
        m_connection.reset();
        return false;
    }
    if (receiving && faults.upgrade_fail_percent >= 0 && percent >= faults.upgrade_fail_percent) {
        m_upgrade.abort();
        progress.state = faults.upgrade_fail_result;
        push_progress(progress);
        upgrade_ended("failed");
        return true;
    }
    if (receiving && faults.upgrade_stall_percent >= 0 && percent >= faults.upgrade_stall_percent) {
        m_upgrade_stalled = true;
        m_device.camera.update([&](CameraView& view) {
            if (auto* entry = transfer_entry(view.record)) entry->outcome = "stalled";
        });
        return true;
    }
    if (progress.state == kUpgradeComplete) {
        push_progress(progress);
        // The camera stays busy with this upgrade until it restarts into the new version.
        m_device.camera.update([&](CameraView& view) {
            if (!view.current.device.faults.upgrade_install_fails) view.state.installed_version = version;
            if (auto* entry = transfer_entry(view.record)) entry->outcome = "complete";
        });
        m_upgrade_held = false;
        m_device.host.restart_later(m_device.index, kRestartDelayMs);
        return true;
    }
    if (!receiving) {
        push_progress(progress);
        upgrade_ended("invalid");
        return true;
    }
    if (report) push_progress(progress);
    return true;
}

void DeviceSession::upgrade_abort() {
    if (!m_upgrade_held) return;
    m_upgrade.abort();
    upgrade_ended(m_upgrade_stalled ? "stalled" : "aborted");
}

void DeviceSession::upgrade_check_idle(int64_t now) {
    if (m_upgrade_held && now - m_last_image_ms >= kUpgradeIdleMs) upgrade_ended(m_upgrade_stalled ? "stalled" : "abandoned");
}

void DeviceSession::upgrade_ended(const char* outcome) {
    m_upgrade.abort();
    m_upgrade_held = false;
    m_device.camera.update([&](CameraView& view) {
        view.state.upgrading = false;
        if (auto* entry = transfer_entry(view.record)) entry->outcome = outcome;
    });
}

void DeviceSession::push_progress(const UpgradeProgress& progress) {
    m_connection.push(Kind::UpgradeProgress, encode(progress));
    m_last_progress_ms = Clock::now_ms();
}
