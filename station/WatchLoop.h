#pragma once
#include <string>

// The watch thread of the test window follows the first row of the device list while
// "auto show" is on; this is its decision for one pass.
enum class WatchAction {
    RefreshEmpty,   // the list is empty: close the session, clear, refresh discovery, pass again after 100 ms
    End,            // row 0 is the device served, or the window is idle: the watch thread ends
    Login,          // executing and row 0 is another device: open a session with it
};

// row0: UUID of the list's first row ("" when empty); current: UUID of the device being
// served; executing: the start button says Stop.
WatchAction watch_decision(const std::string& row0, const std::string& current, bool executing);
