#pragma once
#include "onvif/CameraReader.h"
#include "onvif/WsdProber.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The batch window's ONVIF side, on one thread of its own: a WsdProber that keeps listening,
// and, once a login is given, the camera reader for every camera not read with it yet. Each
// change is handed to `report` as the whole list; report runs on that thread and must only
// queue, so that stop() may join it from the window's thread without waiting for the window.
struct OnvifSearchConfig {
    onvif::ProberConfig prober;
    onvif::ReaderConfig reader;
    int64_t poll_ms = 500;  // how often the prober's table is looked at
};

class OnvifSearch {
public:
    using Report = std::function<void(std::vector<onvif::OnvifCamera> cameras)>;
    using Config = OnvifSearchConfig;

    explicit OnvifSearch(Report report, Config config = {});
    ~OnvifSearch();
    OnvifSearch(const OnvifSearch&) = delete;
    OnvifSearch& operator=(const OnvifSearch&) = delete;

    void start();  // nothing when running
    // Returns once the thread has ended: a reading under way ends within its transport's
    // timeout.
    void stop();
    bool running() const { return m_thread.joinable(); }
    // Probes afresh and reports the list again even when nothing changed (the list was emptied).
    void refresh();
    // Reads every camera again with this login, and each one found later.
    void log_in(onvif::CameraLogin login);

private:
    void run();
    bool pause(int64_t ms) const;
    // The prober's cameras with what the reader learnt of them.
    std::vector<onvif::OnvifCamera> known(const std::vector<onvif::OnvifCamera>& heard, const onvif::CameraLogin& login,
                                          std::vector<onvif::OnvifCamera>& unread) const;

    Report m_report;
    Config m_config;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_refresh{false};

    std::mutex m_mutex;  // the login, between the window and the thread
    onvif::CameraLogin m_login;
    uint64_t m_login_generation = 0;

    // The search thread's alone.
    std::map<std::string, onvif::OnvifCamera> m_read;  // by endpoint, read with the current login
};
