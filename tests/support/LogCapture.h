#pragma once
#include "foundation/debug_log.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

// Captures debug_log lines for the lifetime of the object.
class LogCapture {
public:
    LogCapture() {
        set_debug_log_sink([this](std::string_view line) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.emplace_back(line);
        });
    }
    ~LogCapture() { set_debug_log_sink({}); }

    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }
    // How many lines contain the text.
    size_t count(const std::string& text) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<size_t>(std::count_if(m_lines.begin(), m_lines.end(),
            [&](const std::string& l) { return l.find(text) != std::string::npos; }));
    }
    bool contains(const std::string& text) const { return count(text) > 0; }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};
