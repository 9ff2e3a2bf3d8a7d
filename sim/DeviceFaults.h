#pragma once
#include "devsdk/protocol/Frame.h"
#include "sim/SimCamera.h"

#include <cstdint>
#include <optional>
#include <string_view>

// The camera's fault rules (SdkFaults::answers) and its slow link.

// The name by which fault rules and the record know a request kind; null for kinds a client
// does not send as requests.
const char* request_name(uint16_t kind);

// The command, control or LDR code a request carries, -1 for kinds without one.
int32_t request_command(const ovix::Frame& frame);

// The result of the first rule that fires for this request, counting the match in the
// camera's state. "any" covers every request after the login except pings.
std::optional<int32_t> injected_answer(CameraView& view, std::string_view request, int32_t command);

// A link of a fixed speed: each transfer occupies it for its share of a second, in system ms.
class LinkPacer {
public:
    explicit LinkPacer(int64_t bytes_per_second) : m_rate(bytes_per_second) {}
    bool limited() const { return m_rate > 0; }
    // The system time until which the link is busy once it has carried `bytes` more.
    int64_t carry(size_t bytes, int64_t now_ms);

private:
    int64_t m_rate;
    int64_t m_free_at = 0;
    int64_t m_carry_micro = 0;  // the fraction of a millisecond left over, in microseconds
};
