#pragma once
#include "devsdk/protocol/FrameStream.h"

#include <cstdint>
#include <memory>
#include <string>

// Connecting and logging in, before a connection gets its reader thread.
namespace ovix::client {

struct LoginTarget {
    std::string ip;
    int32_t port = 0;
    std::string user;
    std::string password;
};

// OVIX_OK with the logged-in stream, or the refusal (12, 13, 15, 16, 17, 7) or the failure
// (connect, timeout, protocol). The login request used id 1.
int32_t connect_and_log_in(const LoginTarget& target, std::unique_ptr<FrameStream>& out);

} // namespace ovix::client
