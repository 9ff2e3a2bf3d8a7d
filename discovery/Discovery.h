#pragma once
#include "discovery/HeardDevices.h"
#include "discovery/PrivateDiscover.h"
#include "discovery/TraceFile.h"
#include "foundation/Mutex.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// The facade the windows, the batch workers and the command line use: owns one engine,
// merges its records into a table keyed by MAC on a thread of its own, reports new and
// changed devices, serves copies of the table and fills change requests from it. The table,
// the queue in front of it and the trace files are bounded (see HeardDevices, TraceFile).
class CDiscovery {
public:
    static constexpr const char* kThreadLogName = "CDiscovery";

    explicit CDiscovery(DiscoveryConfig config = {});
    ~CDiscovery();
    CDiscovery(const CDiscovery&) = delete;
    CDiscovery& operator=(const CDiscovery&) = delete;

    uint32_t StartDiscovery(int32_t interval_ms);
    uint32_t StopDiscovery();
    uint32_t SetDiscoveryCB(DiscoveryCB callback, void* context);
    uint32_t RefreshDiscovery(const char* address);  // null keeps the last address
    uint32_t ChangeIp(NETWORK_INFO_REQUEST* request);
    uint32_t ChangeIpPort(NETWORK_INFO_REQUEST* request);
    // Appends a copy of every record in table order and adds their number to count.
    uint32_t GetDeviceList(std::vector<DEV_INFO>& list, int& count);
    uint32_t ClearDeviceList();
    // The record of one MAC and when a reply from it was last received (Clock::now_ms), whether
    // or not it changed anything; RC_FAIL when the MAC is not in the table.
    uint32_t FindDevice(const char* mac, DEV_INFO& record, int64_t& heard_ms);
    // Sends one sweep of requests from the calling thread and leaves the table as it is, so
    // that a worker can look for a device again without disturbing the others. Sweeps asked
    // for while one is under way, or within kSweepGapMs after it, are served by that one.
    uint32_t SweepDiscovery();
    static constexpr int64_t kSweepGapMs = 1000;

    uint32_t ThreadFunc(uint32_t argument);  // one turn of the merge thread
    uint32_t MergeDevice(const DEV_INFO& record, int64_t heard_ms);
    static uint32_t DiscoveryCbf(const DEV_INFO* record, uint32_t flag, void* context);

    bool IsRunning() const { return m_running; }

private:
    struct Heard {
        DEV_INFO record;
        int64_t heard_ms;
    };

    uint32_t change_request(NETWORK_INFO_REQUEST* request, bool with_mask_and_gateway, const char* function);
    void close_trace_files();

    std::atomic<bool> m_running{false};
    HeardDevices m_table;
    std::mutex m_sweep_mutex;
    int64_t m_last_sweep_ms = -1;
    CMutex m_table_mutex;
    std::atomic<DiscoveryCB> m_callback{nullptr};
    std::atomic<void*> m_context{nullptr};
    private_discover m_engine;
    std::deque<Heard> m_queue;
    size_t m_queue_limit;
    bool m_queue_overflowing = false;  // logged once per overflow, not once per lost reply
    CMutex m_queue_mutex;
    CThread<CDiscovery> m_merge_thread;
    TraceFile m_send_log;
    TraceFile m_recv_log;
    std::string m_trace_directory;
};
