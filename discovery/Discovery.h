#pragma once
#include "discovery/PrivateDiscover.h"
#include "foundation/Mutex.h"

#include <atomic>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

// The facade the windows, the batch workers and the command line use: owns one engine,
// merges its records into a table keyed by MAC on a thread of its own, reports new and
// changed devices, serves copies of the table and fills change requests from it.
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

    uint32_t ThreadFunc(uint32_t argument);  // one turn of the merge thread
    uint32_t MergeDevice(const DEV_INFO& record);
    static uint32_t DiscoveryCbf(const DEV_INFO* record, uint32_t flag, void* context);

    bool IsRunning() const { return m_running; }

private:
    uint32_t change_request(NETWORK_INFO_REQUEST* request, bool with_mask_and_gateway, const char* function);
    void close_trace_files();

    std::atomic<bool> m_running{false};
    std::vector<DEV_INFO> m_table;
    CMutex m_table_mutex;
    std::atomic<DiscoveryCB> m_callback{nullptr};
    std::atomic<void*> m_context{nullptr};
    private_discover m_engine;
    std::deque<DEV_INFO> m_queue;
    CMutex m_queue_mutex;
    CThread<CDiscovery> m_merge_thread;
    FILE* m_send_log = nullptr;
    FILE* m_recv_log = nullptr;
    std::string m_trace_directory;
};
