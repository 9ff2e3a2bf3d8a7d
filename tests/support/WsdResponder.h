#pragma once
// A WS-Discovery camera on the lab's camera LAN, made from the codec's device side: it answers
// each Probe whose types it has with a ProbeMatch to the prober's address, says Hello and Bye
// to the group when told, and records the probes it heard. Header only: the ONVIF tests alone
// use it.
#include "onvif/WsDiscovery.h"
#include "sim/CameraSide.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace support {

class WsdResponder {
public:
    struct Options {
        bool group = true;      // false: deaf to the group, found only by a unicast probe
        bool silent = false;    // hears, never answers
        bool foreign = false;   // answers relate to a MessageID that is not the probe's
    };

    WsdResponder(const std::string& address, onvif::WsdEndpoint endpoint, Options options)
        : m_endpoint(std::move(endpoint)), m_options(options) {
        const CameraSide cameras;
        m_unicast = open(address);
        const int lab = static_cast<int>(if_nametoindex("lab1"));
        const ip_mreqn interface{{}, {}, lab};
        setsockopt(m_unicast, IPPROTO_IP, IP_MULTICAST_IF, &interface, sizeof interface);
        if (options.group) {
            m_group = open("239.255.255.250");
            const ip_mreqn membership{{inet_addr("239.255.255.250")}, {}, lab};
            if (setsockopt(m_group, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0)
                throw std::runtime_error("cannot join the group");
        }
        m_thread = std::thread([this] { run(); });
    }
    ~WsdResponder() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
        m_thread.join();
        for (int fd : {m_unicast, m_group, m_wake})
            if (fd >= 0) ::close(fd);
    }

    void hello() { send_to_group(onvif::build_hello(onvif::new_message_id(), {1, ++m_number}, m_endpoint)); }
    void bye() { send_to_group(onvif::build_bye(onvif::new_message_id(), {1, ++m_number}, m_endpoint)); }

    // The types of each probe heard, in order.
    std::vector<std::vector<onvif::QName>> probes() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_probes;
    }
    int answers() const { return m_answers; }

private:
    static int open(const std::string& address) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{AF_INET, htons(3702), {inet_addr(address.c_str())}, {}};
        if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) throw std::runtime_error("cannot bind " + address);
        return fd;
    }

    void send_to_group(const std::string& message) {
        sockaddr_in group{AF_INET, htons(3702), {inet_addr("239.255.255.250")}, {}};
        sendto(m_unicast, message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&group), sizeof group);
    }

    void run() {
        std::vector<pollfd> fds{{m_wake, POLLIN, 0}, {m_unicast, POLLIN, 0}};
        if (m_group >= 0) fds.push_back({m_group, POLLIN, 0});
        while (poll(fds.data(), fds.size(), -1) > 0 && !(fds[0].revents & POLLIN))
            for (size_t i = 1; i < fds.size(); ++i)
                if (fds[i].revents & POLLIN) answer(fds[i].fd);
    }

    void answer(int fd) {
        std::string buffer(65536, '\0');
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t received = recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        onvif::WsdMessage probe;
        if (received <= 0 || onvif::parse_discovery(buffer.substr(0, static_cast<size_t>(received)), probe) != onvif::WsdStatus::ok ||
            probe.kind != onvif::WsdKind::probe)
            return;
        const auto& wanted = probe.endpoints.at(0).types;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_probes.push_back(wanted);
        }
        const bool match = std::all_of(wanted.begin(), wanted.end(), [this](const onvif::QName& type) {
            return std::find(m_endpoint.types.begin(), m_endpoint.types.end(), type) != m_endpoint.types.end();
        });
        if (m_options.silent || !match) return;
        const std::string relates_to = m_options.foreign ? onvif::new_message_id() : probe.message_id;
        const std::string reply = onvif::build_probe_matches(onvif::new_message_id(), relates_to, {1, ++m_number}, {m_endpoint});
        sendto(m_unicast, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
        ++m_answers;
    }

    onvif::WsdEndpoint m_endpoint;
    Options m_options;
    int m_unicast = -1;
    int m_group = -1;
    int m_wake = eventfd(0, EFD_CLOEXEC);
    std::atomic<uint32_t> m_number{0};
    std::atomic<int> m_answers{0};
    mutable std::mutex m_mutex;
    std::vector<std::vector<onvif::QName>> m_probes;
    std::thread m_thread;
};

} // namespace support
