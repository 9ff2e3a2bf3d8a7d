#include "station/WatchLoop.h"

WatchAction watch_decision(const std::string& row0, const std::string& current, bool executing) {
    if (row0.empty()) return WatchAction::RefreshEmpty;
    if (row0 == current || !executing) return WatchAction::End;
    return WatchAction::Login;
}
