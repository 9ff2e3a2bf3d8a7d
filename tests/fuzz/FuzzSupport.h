#pragma once
#include "foundation/debug_log.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

// What every fuzz target shares: a check that stays on in release builds, a diagnostic log
// silent from the start (a line per rejected input would cost more than the parsing), and a
// reader that cuts the fuzzer's bytes into the pieces a target needs.

#define FUZZ_CHECK(condition)                                                                       \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition);    \
            std::abort();                                                                           \
        }                                                                                           \
    } while (0)

namespace fuzz {

inline void quiet_debug_log() {
    set_debug_log_sink([](std::string_view) {});
}
// Set at load, so that no target needs an LLVMFuzzerInitialize for it.
inline const bool kLogQuiet = (quiet_debug_log(), true);

// Takes leading bytes as small numbers and leaves the rest as data; past the end, zeros.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_bytes(data, size) {}

    uint8_t byte() { return m_pos < m_bytes.size() ? m_bytes[m_pos++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(byte() | byte() << 8); }
    uint32_t u32() { return static_cast<uint32_t>(u16() | static_cast<uint32_t>(u16()) << 16); }
    std::span<const uint8_t> take(size_t n) {
        n = n < remaining() ? n : remaining();
        std::span<const uint8_t> piece = m_bytes.subspan(m_pos, n);
        m_pos += n;
        return piece;
    }
    std::span<const uint8_t> rest() { return take(remaining()); }
    std::string_view text(size_t n) {
        std::span<const uint8_t> piece = take(n);
        return {reinterpret_cast<const char*>(piece.data()), piece.size()};
    }
    size_t remaining() const { return m_bytes.size() - m_pos; }

private:
    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
};

// A NUL-terminated copy of a text whose terminator is the last byte before an unreadable
// page: a read past the end faults at once, even inside a library that was built without the
// sanitizers (the XML parser). One copy at a time; texts of at most `capacity` bytes.
class GuardedText {
public:
    explicit GuardedText(size_t capacity) {
        const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
        m_size = (capacity + 1 + page - 1) / page * page;
        void* region = ::mmap(nullptr, m_size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        FUZZ_CHECK(region != MAP_FAILED);
        m_region = static_cast<char*>(region);
        FUZZ_CHECK(::mprotect(m_region + m_size, page, PROT_NONE) == 0);
    }

    const char* place(std::string_view text) {
        FUZZ_CHECK(text.size() < m_size);
        char* at = m_region + m_size - text.size() - 1;
        std::memcpy(at, text.data(), text.size());
        at[text.size()] = '\0';
        return at;
    }

private:
    char* m_region = nullptr;
    size_t m_size = 0;
};

inline std::string_view as_text(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

} // namespace fuzz
