#pragma once
#include "devsdk/ovix_client.h"
#include "station/CapabilityView.h"
#include "station/ConfigItems.h"
#include "station/ResultList.h"
#include "station/StationSdk.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Opening a test session with one camera, without widgets: log in, check its firmware
// version, read what it can do and who it is, start its live picture and apply the
// configuration items. The window turns the outcome into its controls.

// The fixed factory account of the test cameras.
inline constexpr int32_t kStationPort = 6001;
inline constexpr const char* kStationUser = "Admin";
inline constexpr const char* kStationPassword = "tevoq";

struct SessionInputs {
    std::string ip;                   // the row's IP column
    std::string device_version;       // the row's software version column
    bool version_check = false;
    std::string expected_version;     // checked for its length by the window beforehand
    bool auto_config = false;
    ConfigInputs config;
    OVIX_WINDOW video_target = nullptr;   // render target of the video frame
};

struct SessionOutcome {
    int result = -1;                  // 0 session up, -1 ended early
    bool network_error = false;       // login refused now or busy: the window shows IDS_NETWORK_ERROR only
    ResultList lines;                 // texts of the result keys in their places
    std::optional<LampButtons> lamps; // nullopt: the lamp buttons stay as they are (disabled)
    bool mic = false, speaker = false, ptz = false;
    bool live = false;                // live up: IR-cut and zoom buttons enabled
    bool show_video = false;          // the version check passed: show the video frame
    std::string uid, pid, qr_text, tf_text;   // tf_text "NONE" when no card; qr_text is the UID
    int32_t login_handle = -1, live_handle = -1;
};

// Closes the given handles first (stop live, logout), then opens the session. `text` turns a
// key into its language text (tests pass the key itself); lines hold texts, so appended
// lines sort by their texts as the list box does.
SessionOutcome open_test_session(StationSdk& sdk, const SessionInputs& inputs, int32_t old_login, int32_t old_live,
                                 const std::function<std::string(const std::string& key)>& text);
