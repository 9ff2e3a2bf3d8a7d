#pragma once
#include "history/HistoryDatabase.h"

#include <string>

// The history's schema, versioned with PRAGMA user_version.
//  1: jobs (started, host, steps) and devices; no job end, origin or exit code, no MAC index.
//  2: jobs gain ended, origin and exit_code; devices are indexed by MAC.
constexpr int kHistorySchemaVersion = 2;

// Brings an empty or older database to the current version, each step in the caller's
// transaction. Refuses a database of a newer version than this program knows.
bool migrate_history(HistoryDatabase& db, std::string& error);
