#include "cli/ProgressDisplay.h"

#include "discovery/PrintableText.h"

#include <chrono>
#include <map>
#include <utility>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int64_t real_now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A line wider than the terminal would wrap and throw off the count of lines to rewrite.
std::string fit(std::string text, int width) {
    if (width > 1 && text.size() >= static_cast<size_t>(width)) text.resize(static_cast<size_t>(width - 1));
    return text;
}

} // namespace

ProgressDisplay::ProgressDisplay(std::FILE* out, bool terminal, int height, int width)
    : m_out(out), m_terminal(terminal), m_height(height), m_width(width) {}

bool ProgressDisplay::terminal_size(int fd, int& height, int& width) {
    winsize size{};
    if (!isatty(fd) || ioctl(fd, TIOCGWINSZ, &size) != 0) return false;
    height = size.ws_row > 0 ? size.ws_row : 24;
    width = size.ws_col > 0 ? size.ws_col : 80;
    return true;
}

std::string ProgressDisplay::line_text(const ProgressLine& line) {
    char percent[16] = "    ";
    if (line.percent >= 0) std::snprintf(percent, sizeof percent, "%3d%%", line.percent);
    char head[192];
    // The MAC and the message may carry a device's texts: escaped, they cannot drive the terminal.
    std::snprintf(head, sizeof head, "%-17s  %-11s %s  ", printable_text(line.mac).c_str(), line.state.c_str(), percent);
    return head + printable_text(line.message);
}

std::string ProgressDisplay::summary(const std::vector<ProgressLine>& lines) {
    std::map<std::string, int> by_state;
    for (const ProgressLine& line : lines) ++by_state[line.state];
    std::string text = std::to_string(lines.size()) + (lines.size() == 1 ? " device:" : " devices:");
    for (const char* state : {"running", "waiting", "ok", "failed", "stopped", "not started"})
        if (by_state.count(state)) text += " " + std::to_string(by_state[state]) + " " + state + ",";
    text.pop_back();
    return text;
}

void ProgressDisplay::changed(const ProgressLine& line) {
    if (m_terminal) return;
    std::string text = line_text(line);
    std::string& last = m_last_plain[line.mac];
    if (text == last) return;
    last = text;
    std::fprintf(m_out, "%s\n", text.c_str());
    std::fflush(m_out);
}

void ProgressDisplay::redraw(const std::vector<ProgressLine>& lines, bool force) {
    if (!m_terminal) return;
    const int64_t now = real_now_ms();
    if (!force && now - m_last_redraw < kRedrawMs) return;
    m_last_redraw = now;
    std::string drawing;
    int count = 1;
    // One line stays free for the cursor, so that the drawing never scrolls itself away.
    if (static_cast<int>(lines.size()) < m_height) {
        for (const ProgressLine& line : lines) drawing += fit(line_text(line), m_width) + "\n";
        count = static_cast<int>(lines.size());
    } else {
        drawing = fit(summary(lines), m_width) + "\n";
    }
    if (drawing == m_drawing) return;
    // Back to the first line of the last drawing, and clear from there down.
    std::string out = m_drawn > 0 ? "\x1b[" + std::to_string(m_drawn) + "F" : std::string();
    out += "\x1b[J" + drawing;
    m_drawing = std::move(drawing);
    m_drawn = count;
    std::fwrite(out.data(), 1, out.size(), m_out);
    std::fflush(m_out);
}
