#pragma once
#include <string>

// Replaces the file at `path` with `content` all at once: written and synced under another
// name in the same directory, then renamed over it, so a crash leaves the old file or the
// whole new one, never a truncated one. The file is 0666 less the umask, as any file the user
// saves. On failure returns false and, when `error` is given, says why. The one way fleetset
// writes a report, a summary or a test record.
bool write_file_atomically(const std::string& path, const std::string& content, std::string* error = nullptr);
