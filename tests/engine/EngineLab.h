#pragma once
// Helpers for tests that open discovery sockets. They run only inside the network lab
// (scripts/netlab.sh), where the tool owns 10.77.0.1 and any 10.77.x.y can be bound.
#include "discovery/DiscoveryConfig.h"
#include "discovery/DiscoveryHeader.h"
#include "discovery/DiscoveryMessages.h"
#include "foundation/Clock.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace lab {

// Bounds a wait that should succeed, in system ms; the tests assert no speed.
template <class Pred>
bool wait_until(Pred pred, int64_t budget_ms = 60000) {
    const int64_t deadline = Clock::now_ms() + budget_ms;
    while (!pred()) {
        if (Clock::now_ms() > deadline) return false;
        Clock::sleep_ms(5);
    }
    return true;
}

inline void set_text(char (&field)[kDiscoveryTextSize], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

inline DEV_INFO make_device(const std::string& mac, const std::string& ip, const std::string& version = "2.4.1") {
    DEV_INFO d{};
    set_text(d.mac_address, mac);
    set_text(d.ip_address, ip);
    d.cmd_port = 5000;
    d.media_port = 5001;
    d.phone_port = 5002;
    d.http_port = 80;
    d.device_type = 1;
    set_text(d.subnet_mask, "255.255.0.0");
    set_text(d.gateway, "10.77.0.254");
    set_text(d.software_ver, version);
    return d;
}

inline std::vector<unsigned char> reply_datagram(const DEV_INFO& device, uint32_t command = kCmdDevInfoReply) {
    std::vector<unsigned char> buffer(kSendBufferSize);
    MSG_DEV_INFO_REPLY message;
    buffer.resize(encode_datagram(message, command, &device, buffer.data()));
    return buffer;
}

// A datagram with a header of our own making around any payload.
inline std::vector<unsigned char> raw_datagram(uint32_t command, std::string_view payload) {
    DiscoveryHeader h{};
    h.word[0] = kDiscoveryMagic;
    h.word[2] = command;
    h.word[7] = static_cast<uint32_t>(payload.size());
    h.to_network();
    std::vector<unsigned char> bytes(sizeof h + payload.size());
    std::memcpy(bytes.data(), &h, sizeof h);
    if (!payload.empty()) std::memcpy(bytes.data() + sizeof h, payload.data(), payload.size());
    return bytes;
}

struct Datagram {
    std::string source;
    uint16_t source_port = 0;
    std::vector<unsigned char> bytes;

    uint32_t command() const {
        DiscoveryHeader h{};
        std::memcpy(&h, bytes.data(), std::min(bytes.size(), sizeof h));
        h.to_host();
        return h.command();
    }
    // Decodes the payload with the message the device side would use.
    template <class Message, class Record>
    Record decode() const {
        Record record{};
        Message message;
        std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        EXPECT_EQ(message.ToMe(text.substr(kDiscoveryHeaderSize), &record, sizeof record), 0u);
        return record;
    }
};

// A camera that sends exact bytes from its own address and hears the tool's broadcasts on
// the device port (a socket bound to one address would not receive them).
class FakeCamera {
public:
    explicit FakeCamera(const std::string& address) {
        int on = 1;
        m_listen = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in any = endpoint("0.0.0.0", 13000);
        EXPECT_EQ(bind(m_listen, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
        m_send = socket(AF_INET, SOCK_DGRAM, 0);
        setsockopt(m_send, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in own = endpoint(address, 0);
        EXPECT_EQ(bind(m_send, reinterpret_cast<sockaddr*>(&own), sizeof own), 0);
    }
    ~FakeCamera() {
        close(m_listen);
        close(m_send);
    }
    FakeCamera(const FakeCamera&) = delete;
    FakeCamera& operator=(const FakeCamera&) = delete;

    void send_raw(const std::vector<unsigned char>& bytes, size_t size, const std::string& to = "10.77.0.1") {
        sockaddr_in peer = endpoint(to, 12000);
        EXPECT_EQ(sendto(m_send, bytes.data(), size, 0, reinterpret_cast<sockaddr*>(&peer), sizeof peer),
                  static_cast<ssize_t>(size));
    }
    void send_raw(const std::vector<unsigned char>& bytes) { send_raw(bytes, bytes.size()); }
    void reply(const DEV_INFO& device, const std::string& to = "10.77.0.1") {
        auto bytes = reply_datagram(device);
        send_raw(bytes, bytes.size(), to);
    }

    // The next datagram heard with this command; others are skipped.
    bool receive(Datagram& out, uint32_t command) {
        return wait_until([&] {
            unsigned char buffer[4096];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t n = recvfrom(m_listen, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (n < 0) return false;
            out = Datagram{inet_ntoa(from.sin_addr), ntohs(from.sin_port), {buffer, buffer + n}};
            return out.command() == command;
        });
    }

private:
    static sockaddr_in endpoint(const std::string& address, uint16_t port) {
        sockaddr_in e{};
        e.sin_family = AF_INET;
        e.sin_port = htons(port);
        inet_pton(AF_INET, address.c_str(), &e.sin_addr);
        return e;
    }

    int m_listen = -1;
    int m_send = -1;
};

// Collects what a discovery callback reports.
class Reports {
public:
    struct Report {
        DEV_INFO device;
        uint32_t flag;
    };
    static uint32_t callback(const DEV_INFO* device, uint32_t flag, void* context) {
        auto* self = static_cast<Reports*>(context);
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_items.push_back({*device, flag});
        return 0;
    }
    std::vector<Report> items() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_items;
    }
    bool wait_for(size_t count) const {
        return wait_until([&] { return items().size() >= count; });
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Report> m_items;
};

// Declared before the objects whose threads sleep, so it is removed after they stopped.
struct ScopedSleepObserver {
    explicit ScopedSleepObserver(std::function<void(int64_t)> f) { Clock::set_sleep_observer(std::move(f)); }
    ~ScopedSleepObserver() { Clock::set_sleep_observer({}); }
};

// Refuses to run outside the lab: the engine broadcasts to 255.255.255.255.
class LabTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_STREQ(std::getenv("FLEETSET_IN_LAB"), "1") << "run inside scripts/netlab.sh";
        Clock::set_speed(10);
        char pattern[] = "/tmp/fleetset-engine-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        config.trace_directory = trace_dir = pattern;
    }
    void TearDown() override {
        Clock::set_speed(1);
        if (!trace_dir.empty()) std::filesystem::remove_all(trace_dir);
    }

    DiscoveryConfig config;
    std::string trace_dir;
};

} // namespace lab
