#include "sim/onvif/FirmwareUpload.h"

#include "devsdk/ovix_client.h"
#include "devsdk/protocol/FirmwareHeader.h"
#include "devsdk/protocol/UpgradeReceiver.h"
#include "sim/DeviceCommands.h"

#include <cstdlib>
#include <cstring>

using namespace ovix;

namespace {

constexpr size_t kPiece = 64 * 1024;

FirmwareVersion parse_version(const std::string& text) {
    int32_t parts[3] = {0, 0, 0};
    const char* p = text.c_str();
    for (int i = 0; i < 3 && *p; ++i) {
        char* end = nullptr;
        parts[i] = static_cast<int32_t>(std::strtol(p, &end, 10));
        if (end == p || *end != '.') break;
        p = end + 1;
    }
    return FirmwareVersion{parts[0], parts[1], parts[2]};
}

bool version_accepted(VersionPolicy policy, const FirmwareVersion& offered, const std::string& installed) {
    const FirmwareVersion current = parse_version(installed);
    return policy == VersionPolicy::Any || (policy == VersionPolicy::NotOlder && offered >= current) ||
           (policy == VersionPolicy::Newer && offered > current);
}

DeviceRecord::Upgrade* transfer_entry(DeviceRecord& record) {
    for (auto it = record.upgrades.rbegin(); it != record.upgrades.rend(); ++it)
        if (it->outcome == "receiving") return &*it;
    return nullptr;
}

void end_transfer(SimCamera& camera, const char* outcome, uint64_t received, bool keep_upgrading = false) {
    camera.update([&](CameraView& view) {
        view.state.upgrading = keep_upgrading;
        if (auto* entry = transfer_entry(view.record)) {
            entry->image_bytes = received;
            entry->outcome = outcome;
        }
    });
}

} // namespace

UploadOutcome receive_firmware(OnvifCallContext& call, HttpRequestReader& reader, const HttpHead& head) {
    if (!head.has_length) return {411, "no length"};
    return receive_image(call, reader, head.content_length, head.content_length);
}

UploadOutcome receive_image(OnvifCallContext& call, HttpRequestReader& reader, uint64_t file_size, uint64_t most) {
    if (most < kFirmwareHeaderSize || most > kFirmwareHeaderSize + kMaxFirmwareImage) return {415, "size"};
    std::string header_bytes;
    if (!reader.read_body(kFirmwareHeaderSize, header_bytes)) return {0, "header cut"};
    UpgradeStart start;
    std::memcpy(start.header.data(), header_bytes.data(), kFirmwareHeaderSize);
    start.file_size = file_size;
    if (file_size == 0) {
        // The image is as long as its header says, if that fits; a damaged header is refused below.
        FirmwareInfo announced;
        if (decode_firmware_header(start.header, announced) == OVIX_OK) {
            if (announced.image_length > most - kFirmwareHeaderSize) return {415, "size"};
            start.file_size = kFirmwareHeaderSize + announced.image_length;
        }
    }
    const CameraConfig current = call.camera.current();
    FirmwareInfo info;
    int32_t result = check_upgrade_start(start, board_type_text(current.board_type), info);
    if (result == OVIX_OK && !version_accepted(current.device.version_policy, info.version, current.software_ver))
        result = OVIX_ERR_UPGRADE_VERSION;
    const std::string version = result == OVIX_ERR_UPGRADE_INVALID ? std::string() : version_text(info.version);
    bool busy = false;
    call.camera.update([&](CameraView& view) {
        busy = result == OVIX_OK && view.state.upgrading;
        if (result == OVIX_OK && !busy) view.state.upgrading = true;
        push_recent(view.record.upgrades, DeviceRecord::Upgrade{version, busy ? OVIX_ERR_BUSY : result, 0,
                                                                result == OVIX_OK && !busy ? "receiving" : "refused"});
    });
    if (busy) return {503, "busy " + version};
    if (result != OVIX_OK) return {415, "refused " + std::to_string(result) + " " + version};

    const OnvifFaults faults = current.device.onvif.faults;
    UpgradeReceiver receiver;
    receiver.begin(info);
    UpgradeProgress progress;
    std::string piece;
    while (receiver.received < receiver.expected) {
        const uint64_t left = receiver.expected - receiver.received;
        if (!reader.read_some(static_cast<size_t>(std::min<uint64_t>(left, kPiece)), piece)) {
            end_transfer(call.camera, "aborted", receiver.received);
            return {0, "aborted " + version};
        }
        receiver.take(ByteView(reinterpret_cast<const uint8_t*>(piece.data()), piece.size()), progress);
        const int32_t percent = receiver.percent();
        if (progress.state == kUpgradeReceiving && faults.upload_abandon_percent >= 0 && percent >= faults.upload_abandon_percent) {
            end_transfer(call.camera, "dropped", receiver.received);
            return {0, "abandoned " + version};
        }
        if (progress.state == kUpgradeReceiving && faults.upload_refuse_percent >= 0 && percent >= faults.upload_refuse_percent) {
            end_transfer(call.camera, "failed", receiver.received);
            return {503, "refused at " + std::to_string(percent) + "% " + version};
        }
    }
    if (progress.state != kUpgradeComplete) {
        end_transfer(call.camera, "invalid", receiver.received);
        return {415, "damaged " + version};
    }
    // The camera stays busy with this upgrade until it restarts into the new version.
    call.camera.update([&](CameraView& view) {
        if (!view.current.device.faults.upgrade_install_fails) view.state.installed_version = version;
    });
    end_transfer(call.camera, "complete", receiver.received, true);
    call.host.reboot(call.index, kRestartDelayMs);
    return {200, "installed " + version, start.file_size};
}
