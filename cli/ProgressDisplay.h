#pragma once
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// One device as the live display shows it.
struct ProgressLine {
    std::string mac;
    std::string state;    // waiting, running, ok, failed, stopped, not started
    int percent = -1;     // -1: none yet
    std::string message;
};

// The live view of a run. On a terminal every device has a line that rewrites itself, or,
// when more devices take part than the terminal has lines, one summary line does. Elsewhere
// (a pipe, a file) each change of a device is one plain line, so that a log reads in order.
class ProgressDisplay {
public:
    // `height` and `width` of the terminal; 0 when `terminal` is false.
    ProgressDisplay(std::FILE* out, bool terminal, int height, int width);

    // A device changed: the plain view prints its line unless it says the same as before.
    void changed(const ProgressLine& line);
    // The terminal view redraws, at most every kRedrawMs real milliseconds unless forced.
    void redraw(const std::vector<ProgressLine>& lines, bool force = false);

    // The terminal's size for `fd`, or false when it is no terminal.
    static bool terminal_size(int fd, int& height, int& width);
    static std::string summary(const std::vector<ProgressLine>& lines);
    static std::string line_text(const ProgressLine& line);

    static constexpr int64_t kRedrawMs = 200;

private:
    std::FILE* m_out;
    bool m_terminal;
    int m_height;
    int m_width;
    int m_drawn = 0;           // lines on the screen from the last redraw
    std::string m_drawing;     // what they show
    int64_t m_last_redraw = -kRedrawMs;  // real ms
    std::map<std::string, std::string> m_last_plain;  // per MAC, the last line printed
};
