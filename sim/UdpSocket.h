#pragma once
#include "sim/Ipv4.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A non-blocking UDP socket with address reuse and broadcast enabled, as a camera holds it:
// several sockets share the device port, one on the wildcard address for broadcasts and one
// on each camera's own address, so replies leave from that address.
class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Closes any previous socket first. On failure returns false and error() says why.
    bool open(Endpoint local);
    void close();

    bool is_open() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const Endpoint& local() const { return m_local; }
    const std::string& error() const { return m_error; }

    // Sends the whole datagram. A full queue (EAGAIN, ENOBUFS) is waited out briefly rather
    // than reported, so a burst of a thousand replies is not thinned out by the sender.
    bool send_to(const Endpoint& destination, const void* data, size_t length);

    // One waiting datagram: its size, 0 when none is waiting, -1 on an error. `destination`
    // is the address the datagram was sent to (a broadcast address or one of ours).
    long receive(void* buffer, size_t capacity, Endpoint& source, uint32_t& destination);

private:
    int m_fd = -1;
    Endpoint m_local;
    std::string m_error;
};
