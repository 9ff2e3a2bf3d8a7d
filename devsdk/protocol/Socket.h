#pragma once
#include <cstdint>
#include <string>

// Non-blocking IPv4 TCP sockets with deadlines on the system clock (foundation/Clock.h).
// Addresses are dotted IPv4 texts: nothing here resolves names.
namespace ovix {

// Real milliseconds for poll() until a system-clock deadline: 0 once it has passed.
int poll_timeout(int64_t deadline_ms);

// Connects before the deadline. Returns the descriptor, or -1 with errno-like reason in *error.
int tcp_connect(const std::string& ip, int32_t port, int64_t deadline_ms, int* error);

// A listening socket on ip:port (port 0 picks one). -1 on failure.
int tcp_listen(const std::string& ip, uint16_t port, int backlog);

// Waits for a connection until the deadline. -1 on timeout or error.
int tcp_accept(int listen_fd, int64_t deadline_ms);

uint16_t local_port(int fd);

// Sends a reset instead of an orderly close (the peer sees ECONNRESET).
void close_with_reset(int fd);

} // namespace ovix
