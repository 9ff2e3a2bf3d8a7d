#pragma once
#include <cstdint>

// Raises the soft limit of open files to the hard limit (a fleet of a thousand cameras holds
// a thousand sockets). Returns the soft limit in force afterwards.
uint64_t raise_open_file_limit();

// The soft limit of open files now; 0 when it cannot be read.
uint64_t open_file_limit();

// One descriptor held in reserve. A listener whose accept fails for want of descriptors stays
// readable, and a loop that waits on it would spin; giving up the spare lets it take the
// waiting connection and close it at once.
class SpareDescriptor {
public:
    SpareDescriptor();
    ~SpareDescriptor();
    SpareDescriptor(const SpareDescriptor&) = delete;
    SpareDescriptor& operator=(const SpareDescriptor&) = delete;

    // Accepts one waiting connection of `listen_fd` and closes it; false when there was none
    // or the spare could not be had.
    bool refuse_one(int listen_fd);

private:
    int m_fd;
};
