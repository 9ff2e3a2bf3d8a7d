#pragma once
#include "station/StationSdk.h"

#include <cstring>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

// A camera behind the test station's SDK seam: answers from `camera` and records every call,
// in order, as one line in calls():
//   "stop_live 9", "logout 7", "login 10.0.0.5:6001 Admin tevoq", "get_config 7 1100",
//   "capability 7", "start_live 7 ch0 stream2", "live 9 6 target", "device 7 100 0 1 1",
//   "ldr 7 1042 2", "ircut 7 1", "ptz 7 0 1 2 0", "voice 7 1"
// ("live" shows a FRAME_RATE argument's value, a ZOOM record as "zoom x y", "target" for
// SET_TARGET, "-" otherwise). calls() is safe from any thread, and on_call, when set before
// the calls begin, sees each line just after it was recorded (on the calling thread, no lock
// held), so a test can act at a chosen moment of a sequence.
class FakeStationSdk : public StationSdk {
public:
    // By default a white-light camera with microphone, PTZ, a card, a cloud UID and a PID.
    struct Camera {
        Camera() {
            std::strcpy(info.mac, "AA:BB:CC:DD:EE:01");
            std::strcpy(info.board_name, "IPC-T");
            std::strcpy(info.software_version, "1.2.3");
            std::strcpy(info.cloud_uid, "UID-0001");
            std::strcpy(info.pid, "PID-7");
            info.board_id = 0x1a2b;
            usb.disk_cnt = 1;
            std::strcpy(usb.description, "TF 32G");
            cap.lamp_type = 2;
            cap.microphone = 1;
            cap.ptz = 1;
        }
        int32_t login_result = OVIX_OK;
        int32_t login_handle = 7;
        int32_t live_result = OVIX_OK;
        int32_t live_handle = 9;
        int32_t ldr_result = OVIX_OK;
        ovix_device_info info{};
        ovix_usb_info usb{};
        ovix_capability cap{};
    };
    Camera camera;
    std::function<void(const std::string& line)> on_call;

    int32_t login(int32_t& handle, const std::string& ip, int32_t port, const std::string& user,
                  const std::string& password) override {
        record("login " + ip + ":" + std::to_string(port) + " " + user + " " + password);
        handle = camera.login_result == OVIX_OK ? camera.login_handle : -1;
        return camera.login_result;
    }
    int32_t logout(int32_t h) override { return record("logout", {h}); }
    int32_t get_device_config(int32_t h, int32_t command, void* buffer, int32_t length) override {
        record("get_config", {h, command});
        if (h == -1) return OVIX_ERR_BAD_HANDLE;  // as the library: nobody logged in
        const void* from = command == OVIX_CMD_DEVICE_INFO ? static_cast<const void*>(&camera.info)
                           : command == OVIX_CMD_USB_INFO  ? static_cast<const void*>(&camera.usb)
                                                           : nullptr;
        const size_t size = command == OVIX_CMD_DEVICE_INFO ? sizeof camera.info : sizeof camera.usb;
        if (!from || static_cast<size_t>(length) != size) return OVIX_ERR_BAD_ARGUMENT;
        std::memcpy(buffer, from, size);
        return OVIX_OK;
    }
    int32_t get_capability(int32_t h, ovix_capability& out) override {
        out = camera.cap;
        return record("capability", {h});
    }
    int32_t start_live(int32_t& live, int32_t h, const ovix_live_preview& p) override {
        record("start_live " + std::to_string(h) + " ch" + std::to_string(p.channel) + " stream" + std::to_string(p.stream));
        live = camera.live_result == OVIX_OK ? camera.live_handle : -1;
        return camera.live_result;
    }
    int32_t stop_live(int32_t l) override { return record("stop_live", {l}); }
    int32_t live_control(int32_t l, int32_t command, void* argument) override {
        std::string what = "-";
        if (argument && command == OVIX_LIVE_SET_TARGET) what = "target";
        if (argument && command == OVIX_LIVE_FRAME_RATE) what = std::to_string(*static_cast<int32_t*>(argument));
        if (argument && command == OVIX_LIVE_ZOOM) {
            const auto* zoom = static_cast<const ovix_zoom*>(argument);
            what = std::to_string(zoom->zoom) + " " + std::to_string(zoom->x) + " " + std::to_string(zoom->y);
        }
        return record("live " + std::to_string(l) + " " + std::to_string(command) + " " + what);
    }
    int32_t device_control(int32_t h, int32_t c, int32_t ch, int32_t v1, int32_t v2) override {
        return record("device", {h, c, ch, v1, v2});
    }
    int32_t ldr_control(int32_t h, int32_t code, int32_t value) override {
        record("ldr", {h, code, value});
        return camera.ldr_result;
    }
    int32_t ircut_control(int32_t h, int32_t open) override { return record("ircut", {h, open}); }
    int32_t ptz_control(int32_t h, int32_t ch, const ovix_ptz& c) override {
        return record("ptz", {h, ch, c.action, c.direction, c.speed});
    }
    int32_t play_voice_test(int32_t h, int32_t v) override { return record("voice", {h, v}); }
    // Kept, not recorded: drop() plays the camera ending the login.
    int32_t set_event_callback(int32_t h, ovix_event_callback callback, void* context) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_event = {h, callback, context};
        return OVIX_OK;
    }

    // The camera closes the login, as the library reports it (on the caller's thread here).
    void drop(int32_t reason = OVIX_DROP_CLOSED) {
        std::unique_lock<std::mutex> lock(m_mutex);
        const Event event = m_event;
        lock.unlock();
        ovix_event e{event.handle, OVIX_EVENT_LOGIN_DROPPED, reason, 0, {}};
        if (event.callback) event.callback(event.handle, &e, event.context);
    }

    std::vector<std::string> calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    // The recorded calls whose line starts with the prefix, e.g. "ldr ".
    std::vector<std::string> calls(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& c : calls())
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }
    void clear_calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.clear();
    }

private:
    int32_t record(const std::string& line) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_calls.push_back(line);
        }
        if (on_call) on_call(line);
        return OVIX_OK;
    }
    int32_t record(const std::string& name, std::initializer_list<int32_t> values) {
        std::string line = name;
        for (const int32_t v : values) line += " " + std::to_string(v);
        return record(line);
    }

    struct Event {
        int32_t handle = -1;
        ovix_event_callback callback = nullptr;
        void* context = nullptr;
    };
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    Event m_event;
};
