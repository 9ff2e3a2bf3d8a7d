#pragma once
#include "foundation/CommandRunner.h"

#include <cstdint>
#include <string>

// The PC's neighbour (ARP) cache. After a job has moved many cameras to new addresses, the
// entries learnt for the old ones would keep traffic going to stale link-layer addresses
// until they expire; clearing them makes the new ones learnt at the next packet.
class NeighbourCache {
public:
    virtual ~NeighbourCache() = default;
    // Forgets the learnt link-layer addresses of the interface that holds local_address
    // (empty: every interface), then logs what is left. Never throws; false when it could
    // not (the reason is in the diagnostic log).
    virtual bool flush(const std::string& local_address) = 0;
};

// Through iproute2's "ip neigh". Entries set by hand (permanent ones) stay, as ip leaves
// them alone without "nud all". An address on no interface flushes every interface, so
// that a caller with a stale local address still gets the cache cleared.
class SystemNeighbourCache : public NeighbourCache {
public:
    static constexpr int64_t kTimeLimitMs = 3000;

    SystemNeighbourCache() : m_runner(m_own_runner) {}
    explicit SystemNeighbourCache(CommandRunner& runner) : m_runner(runner) {}
    SystemNeighbourCache(const SystemNeighbourCache&) = delete;
    SystemNeighbourCache& operator=(const SystemNeighbourCache&) = delete;

    bool flush(const std::string& local_address) override;

private:
    SpawnCommandRunner m_own_runner{kTimeLimitMs};  // constructed before m_runner may refer to it
    CommandRunner& m_runner;
};
