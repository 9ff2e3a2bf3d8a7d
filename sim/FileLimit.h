#pragma once
#include <cstdint>

// Raises the soft limit of open files to the hard limit (a fleet of a thousand cameras holds
// a thousand sockets). Returns the soft limit in force afterwards.
uint64_t raise_open_file_limit();
