#pragma once
#include "onvif/WsdProber.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

// Finds an ONVIF camera again by its endpoint UUID once it has gone away (a reboot, a new
// address): an interface, so that the job's port can be tested without WS-Discovery.
class CameraFinder {
public:
    virtual ~CameraFinder() = default;
    // The camera is about to go away: what it says when it is back (its Hello) counts from now.
    virtual void watch(const std::string& uuid) = 0;
    // One look, bounded, ending early once stopped() is true: the device service address of
    // the camera with this UUID as last heard since watch() (or now), "" when not heard.
    // last_address (IPv4) is where it was, or where it is meant to be: it is probed by unicast.
    virtual std::string find(const std::string& uuid, const std::string& last_address,
                             const std::function<bool()>& stopped) = 0;
};

// One WS-Discovery listener for every worker of a job that waits for its camera's Hello: a
// hundred workers with a prober each would hold two hundred threads and sockets.
class HelloListener {
public:
    explicit HelloListener(onvif::ProberConfig config) : m_config(std::move(config)) {}
    void start();  // on the first call; any thread
    // The device service of the camera with this UUID as last heard, "" when not heard.
    std::string xaddr_of(const std::string& uuid) const;

private:
    const onvif::ProberConfig m_config;
    mutable std::mutex m_mutex;
    std::unique_ptr<onvif::WsdProber> m_prober;
};

// Over WS-Discovery: the listener started by watch() hears the camera's Hello (and Bye); a
// look that finds nothing there probes the group and the last address by unicast and listens
// a moment for the match.
class WsdCameraFinder : public CameraFinder {
public:
    // listener: the job's shared one; empty: one of this finder's own.
    explicit WsdCameraFinder(onvif::ProberConfig config = {}, std::shared_ptr<HelloListener> listener = {});
    ~WsdCameraFinder() override;

    void watch(const std::string& uuid) override;
    std::string find(const std::string& uuid, const std::string& last_address,
                     const std::function<bool()>& stopped) override;

private:
    onvif::ProberConfig m_config;
    std::shared_ptr<HelloListener> m_listener;
    std::string m_last;  // what the last look gave
};
