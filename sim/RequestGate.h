#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>

// What decides whether the cameras answer a discovery request at all. Anyone on the camera
// LAN can send one, with any source address, and each answer is many times its size; so a
// camera answers only a request that is what the tool sends, and the fleet answers each
// destination only so often.

// True when `text` is well-formed XML holding Message.Header.<element>, the form the tool
// sends. An empty payload, a text that does not parse, or another message is not a request.
bool is_well_formed_request(std::string_view text, const char* element);

// Requests answered per reply destination (an address, or the broadcast address for replies
// by broadcast): a burst of kBurst, then one every kRefillMs of system time. The tool sweeps
// at most once a second, so it never meets the limit; a flood aimed at one place gets about
// two answers a second. At most kMaxTracked destinations are held; one whose allowance has
// refilled is forgotten when room is needed, and while every one is busy a new destination
// gets no answer. Owned by one thread.
class RequestBudget {
public:
    static constexpr int kBurst = 8;
    static constexpr int64_t kRefillMs = 500;
    static constexpr size_t kMaxTracked = 256;

    // True, and one request counted, when `destination` may be answered at now_ms.
    bool take(uint32_t destination, int64_t now_ms);
    size_t tracked() const { return m_ready_at.size(); }
    void clear() { m_ready_at.clear(); }

private:
    // When each destination's allowance is whole again (a virtual schedule: one request
    // moves it kRefillMs later, and at most kBurst of them may lie ahead of now).
    std::unordered_map<uint32_t, int64_t> m_ready_at;
};
