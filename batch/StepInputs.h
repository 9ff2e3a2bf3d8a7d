#pragma once
#include <string>

// What the steps of a job read at the moment a worker reaches them. The window implements
// it over its controls, the command line over its options, tests over plain values; a value
// changed while a job runs reaches the workers that have not yet passed that step.
// Called from worker threads: an implementation must not wait on a window.
class StepInputs {
public:
    virtual ~StepInputs() = default;

    virtual std::string logo_file() const = 0;        // path of the picture to upload
    virtual std::string command_text() const = 0;     // the shell command
    virtual std::string uid_text() const = 0;         // the cloud UID
    virtual int time_zone_index() const = 0;          // 0..24 for UTC-12..UTC+12
    virtual int time_format_index() const = 0;        // 0..3
    virtual int video_standard_index() const = 0;     // 0 NTSC, 1 PAL
    virtual int language_index() const = 0;          // 0..20
    virtual bool dhcp_enabled() const = 0;
    virtual std::string default_password() const = 0; // the device password the settings set
    virtual std::string max_wifi_channel() const = 0;     // the channel list's text
    virtual std::string default_wifi_channel() const = 0; // its automatic entry reads as 0
    // The fixed address, subnet mask and gateway of the network box.
    virtual std::string fixed_ip() const = 0;
    virtual std::string subnet_mask() const = 0;
    virtual std::string gateway() const = 0;
    // A factory reset that also forgets the network settings (ONVIF's Hard); ours has one kind.
    virtual bool factory_reset_hard() const { return false; }
};
