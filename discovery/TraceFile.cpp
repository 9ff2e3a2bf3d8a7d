#include "discovery/TraceFile.h"

#include "foundation/debug_log.h"

#include <cerrno>

bool TraceFile::open(const std::string& directory) {
    close();
    m_path = directory.empty() ? m_name : directory + "/" + m_name;
    std::remove((m_path + ".1").c_str());
    m_file = std::fopen(m_path.c_str(), "wb");
    m_written = 0;
    return m_file != nullptr;
}

void TraceFile::close() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

void TraceFile::write(std::string_view line) {
    if (!m_file) return;
    if (m_written > 0 && m_written + line.size() > m_limit) rotate();
    if (!m_file) return;
    m_written += std::fwrite(line.data(), 1, line.size(), m_file);
    std::fflush(m_file);
}

void TraceFile::rotate() {
    std::fclose(m_file);
    if (std::rename(m_path.c_str(), (m_path + ".1").c_str()) != 0)
        debug_log("cannot rotate %s: error_code = %d\n", m_path.c_str(), errno);
    // Truncating also bounds the file when the rename failed.
    m_file = std::fopen(m_path.c_str(), "wb");
    m_written = 0;
    if (!m_file) debug_log("open %s failed\n", m_name.c_str());
}
