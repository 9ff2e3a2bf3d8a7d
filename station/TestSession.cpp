#include "station/TestSession.h"

#include "foundation/debug_log.h"
#include "station/VersionCheck.h"

#include <cstring>

namespace {

constexpr const char* kFile = "IpcTest";
constexpr const char* kFunction = "CIpcTest::ipc_login_live";
constexpr const char* kNoCard = "NONE";
constexpr int32_t kPreviewStream = 2;

template <size_t N>
std::string bounded(const char (&field)[N]) {
    return {field, ::strnlen(field, N)};
}

bool is_network_error(int32_t result) { return result == OVIX_ERR_REFUSED_NOW || result == OVIX_ERR_BUSY; }

// Offsets of the result lines after the version line, counted from the base b.
enum LineOffset : size_t { kLamp = 0, kMic = 1, kSpeaker = 2, kLive = 3, kManual = 4, kConfig = 5 };

} // namespace

SessionOutcome open_test_session(StationSdk& sdk, const SessionInputs& in, int32_t old_login, int32_t old_live,
                                 const std::function<std::string(const std::string& key)>& text) {
    SessionOutcome out;
    if (old_live != -1) sdk.stop_live(old_live);
    if (old_login != -1) sdk.logout(old_login);

    int32_t login = -1;
    const int32_t login_result = sdk.login(login, in.ip, kStationPort, kStationUser, kStationPassword);
    out.login_handle = login;
    if (is_network_error(login_result)) {
        out.network_error = true;
        return out;
    }
    if (login_result != OVIX_OK) {
        // Not fatal here: the calls below fail on their own and the live line shows it.
        DEBUG_LOCATION(kFile, kFunction);
        debug_log("login %s ret = %d\n", in.ip.c_str(), login_result);
    }

    if (in.version_check) {
        const VersionVerdict verdict = check_version(in.expected_version, in.device_version);
        if (const char* key = version_line_key(verdict)) out.lines.append(text(key));
        if (verdict == VersionVerdict::TooNew || verdict == VersionVerdict::TooOld) return out;
    }
    // Counted from what the list holds, so that the lines still show when the texts of
    // matching version numbers differed and no version line was written.
    const size_t b = out.lines.size();
    out.show_video = true;

    ovix_device_info info{};
    sdk.get_device_config(login, OVIX_CMD_DEVICE_INFO, &info, static_cast<int32_t>(sizeof info));
    ovix_capability cap{};
    sdk.get_capability(login, cap);

    const CapabilityView view = capability_view(cap);
    if (view.lamp_appended || b == 0)
        out.lines.append(text(view.lamp_key));
    else
        out.lines.insert(b + kLamp, text(view.lamp_key));
    out.lamps = view.lamps;
    out.lines.insert(b + kMic, text(view.mic_key));
    out.mic = view.mic;
    out.lines.insert(b + kSpeaker, text(view.speaker_key));
    out.speaker = view.speaker;
    out.ptz = view.ptz;

    out.uid = bounded(info.cloud_uid);
    DEBUG_LOCATION(kFile, kFunction);
    debug_log("device uid: %s\n", out.uid.c_str());
    out.pid = bounded(info.pid);
    debug_log("device pid: %s\n", out.pid.c_str());
    debug_log("qrcode : %s\n", bounded(info.qr_text).c_str());
    // The symbol always carries the UID, whatever QR text the camera holds.
    out.qr_text = out.uid.substr(0, sizeof info.qr_text - 1);

    ovix_usb_info usb{};
    const int32_t usb_result = sdk.get_device_config(login, OVIX_CMD_USB_INFO, &usb, static_cast<int32_t>(sizeof usb));
    debug_log("Network_ClientGetDeviceConfig ret = %d,usbinfo.disk_cnt = %d\n", usb_result, usb.disk_cnt);
    if (usb.disk_cnt > 0) {
        out.tf_text = bounded(usb.description);
        debug_log("usb: %s\n", out.tf_text.c_str());
    } else {
        out.tf_text = kNoCard;
    }

    // The preview's window field cannot carry a pointer; the picture goes to the target set below.
    const ovix_live_preview preview{0, 0, kPreviewStream};
    int32_t live = -1;
    const int32_t live_result = sdk.start_live(live, login, preview);
    if (live_result != OVIX_OK || live == -1) {
        out.lines.insert(b + kLive, text("IDS_LIVE_EROOR"));
        DEBUG_LOCATION(kFile, kFunction);
        debug_log("Network_ClientStartLive ret = %d\n", live_result);
        return out;
    }
    out.live_handle = live;
    int32_t device_frame_rate = 0;
    sdk.live_control(live, OVIX_LIVE_FRAME_RATE, &device_frame_rate);
    OVIX_WINDOW target = in.video_target;
    sdk.live_control(live, OVIX_LIVE_SET_TARGET, &target);
    out.lines.insert(b + kLive, text("IDS_LIVE_NORMAL"));
    out.lines.insert(b + kManual, text("IDS_MANUAL_OPERATION"));
    out.live = true;

    if (in.auto_config) {
        // With nothing written there is no success to report.
        int32_t last = -1;
        for (const auto& [code, value] : auto_config_pairs(in.config)) last = sdk.ldr_control(login, code, value);
        out.lines.insert(b + kConfig, text(last == OVIX_OK ? "IDS_SETTING_SUCCESS" : "IDS_SETTING_FAILED"));
    }
    out.result = 0;
    return out;
}
