#pragma once
#include <cstdint>
#include <string>

// One camera's listening TCP socket in a service's epoll set, on the cameras' side of the lab.
// A camera listens at its current address and port while it is on; moving it closes the old
// socket first, so connections to an address it has left are refused, as on a real network.
class CameraListener {
public:
    // Listens at ip:port unless it already does; the epoll key identifies the camera. Returns
    // true when the socket changed (the caller ends the connections of the old one). A refused
    // address is logged once per address, under `what`.
    bool place(int epoll, uint64_t key, const std::string& ip, uint16_t port, const std::string& mac, const char* what);
    // Closes the socket; true when there was one.
    bool close(int epoll);
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    std::string m_ip;
    uint16_t m_port = 0;
    std::string m_failed;  // the address last refused
};
