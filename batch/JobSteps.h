#pragma once
#include <cstdint>
#include <cstring>

// The step flags of a job, one byte each (0 or 1) in this fixed order: two of the job's
// decisions compare the whole set with a set in which exactly one flag is 1.
struct JobSteps {
    uint8_t change_auto_ip = 0;          // an address from the range for each device
    uint8_t change_video_standard = 0;   // settings record fields ...
    uint8_t change_time_zone = 0;
    uint8_t change_time_format = 0;
    uint8_t change_time_sync = 0;        // the device clock to this machine's local time
    uint8_t change_dhcp = 0;
    uint8_t change_logo = 0;
    uint8_t change_language = 0;
    uint8_t change_password = 0;
    uint8_t change_UID = 0;
    uint8_t change_max_wifi_ch = 0;
    uint8_t change_deafult_ch = 0;
    uint8_t change_ip = 0;               // one fixed address, mask and gateway for all
    uint8_t send_command = 0;
    uint8_t need_update = 0;
    uint8_t restore_factory_settings = 0;
    uint8_t reset_pwd = 0;

    // True when `flag` (a member of this set) is the only flag that is 1.
    bool only(uint8_t JobSteps::*flag) const {
        JobSteps single{};
        single.*flag = 1;
        return std::memcmp(this, &single, sizeof single) == 0;
    }
    bool any() const {
        static const JobSteps none{};
        return std::memcmp(this, &none, sizeof none) != 0;
    }
};
static_assert(sizeof(JobSteps) == 17);
