#pragma once
#include "devsdk/protocol/DeviceConnection.h"
#include "devsdk/protocol/FirmwareHeader.h"
#include "devsdk/protocol/Frame.h"
#include "devsdk/protocol/FrameStream.h"
#include "devsdk/protocol/Messages.h"
#include "devsdk/protocol/UpgradeReceiver.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A device on 127.0.0.1 that speaks the protocol from devsdk/protocol, answers every request
// with a default, and lets a test replace the answer of any request kind or misbehave.
class FakeDevice {
public:
    static constexpr const char* kBoard = "FAKE-BOARD";

    // One accepted connection: the protocol library's device end of it, plus the state of an
    // upgrade in progress on it. Writes are serialised, so tests may push from their thread.
    class Peer : public ovix::DeviceConnection, public ovix::UpgradeReceiver {
    public:
        explicit Peer(int fd) : DeviceConnection(fd) {}
        void close() { shutdown(); }  // an orderly close
    };
    using Handler = std::function<void(Peer& peer, const ovix::Frame& request)>;

    FakeDevice();
    ~FakeDevice();

    uint16_t port() const { return m_port; }
    void on(ovix::Kind kind, Handler handler);

    // Every connection at once.
    void push_all(ovix::Kind kind, const ovix::Bytes& payload);
    void send_raw_all(const ovix::Bytes& bytes);
    void close_all();

    // What arrived: requests by kind.
    std::vector<ovix::Frame> received(ovix::Kind kind);
    int open_connections();

private:
    void accept_loop();
    void serve(std::shared_ptr<Peer> peer);
    bool handle_login(Peer& peer, const ovix::Frame& frame, const ovix::Nonce& nonce);
    void handle(Peer& peer, const ovix::Frame& frame);
    void default_answer(Peer& peer, const ovix::Frame& frame);

    int m_listen_fd = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptor;

    std::mutex m_mutex;
    std::vector<std::shared_ptr<Peer>> m_peers;
    std::vector<std::thread> m_threads;
    std::map<uint16_t, Handler> m_handlers;
    std::vector<ovix::Frame> m_received;

    std::atomic<int> m_active_logins{0};
};
