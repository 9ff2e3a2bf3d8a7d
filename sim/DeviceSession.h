#pragma once
#include "devsdk/protocol/DeviceConnection.h"
#include "devsdk/protocol/FirmwareHeader.h"
#include "devsdk/protocol/UpgradeReceiver.h"
#include "sim/DeviceCommands.h"
#include "sim/DeviceFaults.h"

#include <atomic>
#include <cstdint>
#include <vector>

// One client connection to a camera's command port, served on a thread of its own: the
// hello, the login, then every request until the client logs out, the connection breaks, or
// the camera goes down. Live pictures, sound and upgrade progress go out from the same
// thread, so the connection has one writer.
class DeviceSession {
public:
    DeviceSession(int fd, DeviceContext device);
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    void run();
    // Ends the session soon; from any thread.
    void shutdown();
    size_t camera_index() const { return m_device.index; }
    // Connected but not logged in yet, and not ending; from any thread.
    bool waiting() const { return !m_logged_in && !m_closing && !m_done; }

private:
    struct LiveStream {
        uint32_t id = 0;
        uint16_t width = 0;
        uint16_t height = 0;
        int32_t rate = 0;        // frames a second; 0 is the camera's own rate
        int32_t own_rate = 1;    // the camera's own rate, read when the stream starts
        int32_t zoom = 200;
        uint32_t sequence = 0;
        int64_t next_due = 0;    // system ms
        bool microphone = false; // open on this stream: it carries the sound
        uint32_t audio_sequence = 0;
        int64_t audio_due = 0;   // system ms
    };

    bool first_frame_fits(int64_t deadline_ms);
    bool log_in(const ovix::Frame& frame, const ovix::Nonce& nonce);
    bool handle(const ovix::Frame& frame);
    ovix::Answer answer_request(const ovix::Frame& frame);
    void record_request(const char* name, int32_t command, int32_t result);
    int64_t next_wake() const;
    void on_time();
    void finish();
    // Holds the session while the slow link carries `bytes`.
    void carry(size_t bytes);

    // Upgrade (DeviceUpgrade.cpp).
    ovix::Answer upgrade_start(const ovix::Frame& frame);
    bool upgrade_data(const ovix::Frame& frame);
    void upgrade_abort();
    void upgrade_ended(const char* outcome);
    void upgrade_check_idle(int64_t now);
    void push_progress(const ovix::UpgradeProgress& progress);

    // Live view (DeviceLive.cpp).
    ovix::Answer live_start(const ovix::Frame& frame);
    ovix::Answer live_stop(const ovix::Frame& frame);
    ovix::Answer live_control(const ovix::Frame& frame);
    void send_due_pictures(int64_t now);
    void send_due_sound(int64_t now);
    LiveStream* find_stream(uint32_t id);

    // A held upgrade that takes no image byte for this long (twice the client's own stall
    // limit) has been given up by its client; the camera is free for another.
    static constexpr int64_t kUpgradeIdleMs = 30000;

    DeviceContext m_device;
    ovix::DeviceConnection m_connection;
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_logged_in{false};
    std::atomic<bool> m_done{false};
    uint64_t m_boot = 0;           // the camera's start during which this login counts
    int64_t m_last_heard = 0;
    LinkPacer m_link;

    ovix::UpgradeReceiver m_upgrade;
    bool m_upgrade_held = false;   // this session holds the camera's one upgrade
    bool m_upgrade_stalled = false;
    int64_t m_last_progress_ms = 0;
    int64_t m_last_image_ms = 0;   // when this session's upgrade last took image bytes

    std::vector<LiveStream> m_streams;
    uint32_t m_next_stream_id = 1;
    std::vector<uint32_t> m_pixels;
};
