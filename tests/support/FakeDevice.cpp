#include "support/FakeDevice.h"

#include "devsdk/ovix_client.h"
#include "devsdk/protocol/DeviceLogin.h"
#include "devsdk/protocol/LoginProof.h"
#include "devsdk/protocol/Socket.h"
#include "foundation/Clock.h"

#include <unistd.h>

using namespace ovix;

namespace {
constexpr int64_t kSliceMs = 50;
}

FakeDevice::FakeDevice() {
    crypto_ready();
    m_listen_fd = tcp_listen("127.0.0.1", 0, 256);
    m_port = local_port(m_listen_fd);
    m_acceptor = std::thread(&FakeDevice::accept_loop, this);
}

FakeDevice::~FakeDevice() {
    m_stop = true;
    m_acceptor.join();
    close_all();
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        threads.swap(m_threads);
    }
    for (auto& t : threads) t.join();
    ::close(m_listen_fd);
}

void FakeDevice::on(Kind kind, Handler handler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers[static_cast<uint16_t>(kind)] = std::move(handler);
}

std::vector<Frame> FakeDevice::received(Kind kind) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Frame> out;
    for (auto& f : m_received)
        if (f.kind == static_cast<uint16_t>(kind)) out.push_back(f);
    return out;
}

int FakeDevice::open_connections() {
    return m_active_logins;
}

void FakeDevice::push_all(Kind kind, const Bytes& payload) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& p : m_peers) p->push(kind, payload);
}

void FakeDevice::send_raw_all(const Bytes& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& p : m_peers) p->send_raw(bytes);
}

void FakeDevice::close_all() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& p : m_peers) p->close();
}

void FakeDevice::accept_loop() {
    while (!m_stop) {
        int fd = tcp_accept(m_listen_fd, Clock::now_ms() + kSliceMs);
        if (fd < 0) continue;
        auto peer = std::make_shared<Peer>(fd);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_peers.push_back(peer);
        m_threads.emplace_back(&FakeDevice::serve, this, peer);
    }
}

bool FakeDevice::handle_login(Peer& peer, const Frame& frame, const Nonce& nonce) {
    const int32_t result = verify_login(frame, nonce, [](std::string_view user) -> std::optional<std::string> {
        if (user == "Admin") return "tevoq";  // the one user
        return std::nullopt;
    });
    if (result != OVIX_ERR_BAD_REQUEST) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.push_back(frame);
    }
    peer.answer(frame, result);
    return result == OVIX_OK;
}

void FakeDevice::serve(std::shared_ptr<Peer> peer) {
    Nonce nonce = random_nonce();
    peer->hello(nonce);
    bool logged_in = false;
    Frame frame;  // kept across reads: its buffer takes the next long payload
    while (!m_stop) {
        Io io = peer->stream.read(frame, Clock::now_ms() + kSliceMs);
        if (io == Io::Timeout) continue;
        if (io != Io::Ok) break;
        if (!logged_in) {
            if (!handle_login(*peer, frame, nonce)) break;
            logged_in = true;
            ++m_active_logins;
            continue;
        }
        handle(*peer, frame);
    }
    if (logged_in) --m_active_logins;
    peer->close();
}

void FakeDevice::handle(Peer& peer, const Frame& frame) {
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.push_back(frame);
        auto it = m_handlers.find(frame.kind);
        if (it != m_handlers.end()) handler = it->second;
    }
    if (handler)
        handler(peer, frame);
    else
        default_answer(peer, frame);
}

void FakeDevice::default_answer(Peer& peer, const Frame& frame) {
    switch (static_cast<Kind>(frame.kind)) {
    case Kind::Logout:
        peer.close();
        return;
    case Kind::GetConfig: {
        ConfigGet get;
        decode(frame.payload, get);
        Bytes data(static_cast<size_t>(get.length > 0 ? get.length : 0));
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(get.command + static_cast<int>(i));
        peer.answer(frame, OVIX_OK, data);
        return;
    }
    case Kind::GetCapability: {
        Bytes data(sizeof(ovix_capability), 0);
        data[offsetof(ovix_capability, microphone)] = 1;
        data[offsetof(ovix_capability, lamp_type)] = 2;
        peer.answer(frame, OVIX_OK, data);
        return;
    }
    case Kind::LiveStart:
        peer.answer(frame, OVIX_OK, encode_u32(7));
        return;
    default:
        if (frame.id != 0) peer.answer(frame, OVIX_OK);
    }
}
