#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Little-endian field writers and bounds-checked readers for message payloads.
namespace ovix {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

class ByteWriter {
public:
    explicit ByteWriter(Bytes& out) : m_out(out) {}

    void u8(uint8_t v) { m_out.push_back(v); }
    void u16(uint16_t v) { put(v, 2); }
    void u32(uint32_t v) { put(v, 4); }
    void i32(int32_t v) { put(static_cast<uint32_t>(v), 4); }
    void u64(uint64_t v) { put(v, 8); }
    void bytes(ByteView v) { m_out.insert(m_out.end(), v.begin(), v.end()); }
    // A zero-terminated text in a field of `size` bytes; longer text is cut.
    void text(std::string_view v, size_t size);

private:
    void put(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) m_out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    Bytes& m_out;
};

// Reading past the end yields zeros and clears ok(); callers check ok() once at the end.
class ByteReader {
public:
    explicit ByteReader(ByteView in) : m_in(in) {}

    uint8_t u8() { return static_cast<uint8_t>(get(1)); }
    uint16_t u16() { return static_cast<uint16_t>(get(2)); }
    uint32_t u32() { return static_cast<uint32_t>(get(4)); }
    int32_t i32() { return static_cast<int32_t>(static_cast<uint32_t>(get(4))); }
    uint64_t u64() { return get(8); }
    ByteView bytes(size_t n);
    ByteView rest() { return bytes(remaining()); }
    std::string text(size_t size);

    size_t remaining() const { return m_in.size() - m_pos; }
    bool ok() const { return m_ok; }

private:
    uint64_t get(size_t n);
    ByteView m_in;
    size_t m_pos = 0;
    bool m_ok = true;
};

inline uint32_t load_u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
inline void store_u32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace ovix
