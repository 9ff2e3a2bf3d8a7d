#include "devsdk/protocol/Wire.h"

namespace ovix {

void ByteWriter::text(std::string_view v, size_t size) {
    if (size == 0) return;
    size_t n = v.size() < size - 1 ? v.size() : size - 1;
    m_out.insert(m_out.end(), v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n));
    m_out.insert(m_out.end(), size - n, 0);
}

uint64_t ByteReader::get(size_t n) {
    if (remaining() < n) {
        m_ok = false;
        m_pos = m_in.size();
        return 0;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(m_in[m_pos + i]) << (8 * i);
    m_pos += n;
    return v;
}

ByteView ByteReader::bytes(size_t n) {
    if (remaining() < n) {
        m_ok = false;
        m_pos = m_in.size();
        return {};
    }
    ByteView v = m_in.subspan(m_pos, n);
    m_pos += n;
    return v;
}

std::string ByteReader::text(size_t size) {
    ByteView v = bytes(size);
    size_t n = 0;
    while (n < v.size() && v[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(v.data()), n);
}

} // namespace ovix
