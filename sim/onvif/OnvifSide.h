#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Which protocols a camera speaks: the tool's own (discovery and the device SDK), ONVIF, or
// both on the same camera state.
enum class CameraProtocols { Own, Onvif, Both };

inline bool speaks_own(CameraProtocols p) { return p != CameraProtocols::Onvif; }
inline bool speaks_onvif(CameraProtocols p) { return p != CameraProtocols::Own; }

// How a camera's ONVIF side logs a caller in.
enum class OnvifAuth { Token, Digest, Both };

// How a camera's ONVIF side misbehaves, to exercise an ONVIF client's defences. A camera's
// reboot, DHCP, install and version faults are its device SDK ones (SdkFaults, settings):
// there is one camera behind both protocols.
struct OnvifFaults {
    // Calls answered busy (HTTP 503 with a fault) instead of carried out: from the nth signed
    // call on, busy_count of them; with busy_nth 0, each with busy_probability (0 = none).
    uint32_t busy_nth = 0;
    uint32_t busy_count = 1;
    double busy_probability = 0;
    int upload_refuse_percent = -1;   // the firmware POST is answered 503 once this share of the image arrived
    int upload_abandon_percent = -1;  // here the camera closes the connection without an answer
    int clock_offset_hours = 0;       // the camera's clock starts this far from the host's
    bool silent_to_multicast = false; // answers only probes sent to its own address
    bool reboot_after_network = false;  // SetNetworkInterfaces answers RebootNeeded and applies at the reboot

    bool operator==(const OnvifFaults&) const = default;
};

// A camera's ONVIF identity and settings. Texts left empty are derived from the MAC
// (onvif_identity in OnvifIdentity.h).
struct OnvifSide {
    CameraProtocols protocols = CameraProtocols::Own;
    std::string endpoint;                  // "urn:uuid:..."; empty: built from the MAC
    std::string manufacturer = "Lumora";
    std::string model = "IPC-3516";
    std::string name;                      // the name scope; empty: manufacturer, model and MAC digits
    std::string hardware;                  // the hardware scope; empty: the model
    std::string location = "lab";
    OnvifAuth auth = OnvifAuth::Both;
    // Refuse a UsernameToken sent again as it was (the token profile recommends it). libonvif
    // 1.4.4 (onvif-util) signs consecutive calls with one token, so a camera that checks
    // refuses its second call; many cameras do not check.
    bool replay_check = true;
    bool digest_md5 = true;                // digest challenges offered: MD5 and/or SHA-256
    bool digest_sha256 = true;
    // The firmware POST after StartFirmwareUpgrade; without it the camera takes an image only
    // as UpgradeSystemFirmware's attachment, as older cameras do.
    bool http_upload = true;
    int upload_delay_s = 0;                // StartFirmwareUpgrade's UploadDelay
    int expected_down_time_s = 60;         // and ExpectedDownTime
    OnvifFaults faults;

    bool operator==(const OnvifSide&) const = default;
};
