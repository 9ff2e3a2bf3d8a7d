#include "batch/OnvifSearch.h"

#include "foundation/Clock.h"
#include "foundation/debug_log.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace {

constexpr int64_t kPauseSliceMs = 50;

// What the window shows of a camera; a report goes out only when this changes.
std::string shown(const std::vector<onvif::OnvifCamera>& cameras) {
    std::string text;
    for (const onvif::OnvifCamera& c : cameras) {
        const std::string xaddr = onvif::first_http_xaddr(c);
        for (const std::string* part : {&c.uuid, &c.source_address, &c.mac, &c.information.model,
                                        &c.information.manufacturer, &c.information.firmware_version, &xaddr})
            text.append(*part).push_back('\n');
        text.append(onvif::reading_name(c.reading)).push_back('\n');
    }
    return text;
}

std::unique_ptr<onvif::WsdProber> started_prober(const onvif::ProberConfig& config) {
    auto prober = std::make_unique<onvif::WsdProber>(config);
    if (!prober->start()) debug_log("onvif search: no probe socket opened\n");
    return prober;
}

} // namespace

OnvifSearch::OnvifSearch(Report report, Config config) : m_report(std::move(report)), m_config(std::move(config)) {}

OnvifSearch::~OnvifSearch() { stop(); }

void OnvifSearch::start() {
    if (m_thread.joinable()) return;
    m_stop = false;
    m_thread = std::thread([this] { run(); });
}

void OnvifSearch::stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void OnvifSearch::refresh() { m_refresh = true; }

void OnvifSearch::log_in(onvif::CameraLogin login) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_login = std::move(login);
    ++m_login_generation;
}

bool OnvifSearch::pause(int64_t ms) const {
    for (int64_t left = ms; left > 0 && !m_stop && !m_refresh; left -= kPauseSliceMs)
        Clock::sleep_ms(std::min(left, kPauseSliceMs));
    return !m_stop;
}

std::vector<onvif::OnvifCamera> OnvifSearch::known(const std::vector<onvif::OnvifCamera>& heard,
                                                   const onvif::CameraLogin& login,
                                                   std::vector<onvif::OnvifCamera>& unread) const {
    std::vector<onvif::OnvifCamera> cameras = heard;
    for (onvif::OnvifCamera& camera : cameras) {
        if (const auto read = m_read.find(camera.uuid); read != m_read.end()) {
            camera.reading = read->second.reading;
            camera.information = read->second.information;
            camera.reading_text = read->second.reading_text;
            if (camera.mac.empty()) camera.mac = read->second.mac;
        } else if (login.given) {
            unread.push_back(camera);
        } else {
            camera.reading = onvif::Reading::no_credentials;
        }
    }
    return cameras;
}

void OnvifSearch::run() {
    std::unique_ptr<onvif::WsdProber> prober = started_prober(m_config.prober);
    std::string last;
    bool news = false;  // the list was emptied: whatever is heard now is news
    uint64_t generation = 0;
    while (!m_stop) {
        if (m_refresh.exchange(false)) {
            prober->stop();
            prober = started_prober(m_config.prober);
            news = true;
        }
        onvif::CameraLogin login;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            login = m_login;
            if (generation != m_login_generation) m_read.clear();
            generation = m_login_generation;
        }
        const std::vector<onvif::OnvifCamera> heard = prober->cameras();
        // Readings of cameras the table no longer holds (a Bye, or pushed out) go, so that a
        // sender cycling made-up endpoints cannot grow them.
        std::erase_if(m_read, [&heard](const auto& entry) {
            return std::none_of(heard.begin(), heard.end(), [&entry](const onvif::OnvifCamera& c) { return c.uuid == entry.first; });
        });
        std::vector<onvif::OnvifCamera> unread;
        std::vector<onvif::OnvifCamera> cameras = known(heard, login, unread);
        if (std::string now = shown(cameras); news || now != last) {
            news = false;
            last = std::move(now);
            m_report(std::move(cameras));
        }
        if (unread.empty()) {
            pause(m_config.poll_ms);
            continue;
        }
        // A new login makes this reading moot; the cameras it did not begin stay not_tried.
        const auto moot = [this, generation] {
            if (m_stop) return true;
            std::lock_guard<std::mutex> lock(m_mutex);
            return generation != m_login_generation;
        };
        onvif::read_cameras(unread, login, moot, m_config.reader);
        bool any = false;
        for (onvif::OnvifCamera& camera : unread) {
            if (camera.reading == onvif::Reading::not_tried) continue;
            any = true;
            m_read[camera.uuid] = std::move(camera);
        }
        if (!any) pause(m_config.poll_ms);
    }
    prober->stop();
}
