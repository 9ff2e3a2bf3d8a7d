#pragma once
#include <csignal>

// SIGINT and SIGTERM ask the running job to stop, as the window's stop button does. The
// handler only stores the signal's number in a lock-free atomic that the main loop polls;
// all the stopping happens there. A second signal ends the program at once, the default way,
// for a stop that takes too long. One object at a time; the previous handlers come back
// when it is destroyed.
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    bool requested() const;
    // Asks for a stop as the signals do (tests, and a stop for other reasons).
    static void request();

private:
    struct sigaction m_old_int{};
    struct sigaction m_old_term{};
};
