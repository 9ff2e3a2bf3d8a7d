#include "discovery/Discovery.h"

#include "foundation/Clock.h"
#include "foundation/ResultCodes.h"
#include "foundation/debug_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstring>

namespace {

constexpr const char* kFile = "Discovery";
constexpr int32_t kMinIntervalMs = 1000;
constexpr int64_t kIdlePollMs = 20;
constexpr size_t kTraceLineSize = 1024;

// Every byte that carries a field; the two trailing padding bytes are not compared, since
// copying a record need not preserve them.
constexpr size_t kRecordBytes = offsetof(DEV_INFO, http_port) + sizeof(DEV_INFO::http_port);

bool same_mac(const char (&a)[kDiscoveryTextSize], const char (&b)[kDiscoveryTextSize]) {
    return std::strncmp(a, b, kDiscoveryTextSize) == 0;
}

bool same_record(const DEV_INFO& a, const DEV_INFO& b) {
    return std::memcmp(&a, &b, kRecordBytes) == 0;
}

FILE* open_trace(const std::string& directory, const char* name) {
    std::string path = directory.empty() ? name : directory + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        DEBUG_LOCATION(kFile, "CDiscovery::StartDiscovery");
        debug_log("open %s failed\n", name);
    }
    return file;
}

// Texts are bounded by "%.32s": a caller's request may fill a field to its last byte.
void write_trace(FILE* file, const char* format, ...) __attribute__((format(printf, 2, 3)));
void write_trace(FILE* file, const char* format, ...) {
    char line[kTraceLineSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) return;
    std::fwrite(line, 1, std::min(static_cast<size_t>(n), sizeof line - 1), file);
    std::fflush(file);
}

} // namespace

// The locks live as long as the facade: a job's workers may still look a device up while
// the facade is being stopped.
CDiscovery::CDiscovery(DiscoveryConfig config)
    : m_engine(config), m_trace_directory(config.trace_directory) {
    m_table_mutex.Create();
    m_queue_mutex.Create();
}

CDiscovery::~CDiscovery() {
    if (m_running) StopDiscovery();
    close_trace_files();
    m_table_mutex.Close();
    m_queue_mutex.Close();
}

void CDiscovery::close_trace_files() {
    if (m_send_log) std::fclose(m_send_log);
    if (m_recv_log) std::fclose(m_recv_log);
    m_send_log = nullptr;
    m_recv_log = nullptr;
}

uint32_t CDiscovery::StartDiscovery(int32_t interval_ms) {
    if (m_running) {
        DEBUG_LOCATION(kFile, "CDiscovery::StartDiscovery");
        return RC_ALREADY_STARTED;
    }
    if (!m_send_log) m_send_log = open_trace(m_trace_directory, "send.txt");
    if (!m_recv_log) m_recv_log = open_trace(m_trace_directory, "recv.txt");
    interval_ms = std::max(interval_ms, kMinIntervalMs);
    m_merge_thread.Start(this, 0, 0);
    if (m_engine.start(interval_ms) != RC_OK) DEBUG_LOCATION(kFile, "CDiscovery::StartDiscovery");
    m_running = true;
    return RC_OK;
}

uint32_t CDiscovery::StopDiscovery() {
    if (!m_running) {
        DEBUG_LOCATION(kFile, "CDiscovery::StopDiscovery");
        return RC_NOT_STARTED;
    }
    m_engine.stop();
    m_merge_thread.Stop();
    {
        CAutoMutex lock(&m_table_mutex);
        m_table.clear();
        m_heard_ms.clear();
    }
    {
        CAutoMutex lock(&m_queue_mutex);
        m_queue.clear();
    }
    close_trace_files();
    m_running = false;
    return RC_OK;
}

uint32_t CDiscovery::SetDiscoveryCB(DiscoveryCB callback, void* context) {
    if (!callback) {
        DEBUG_LOCATION(kFile, "CDiscovery::SetDiscoveryCB");
        return RC_ARG_MISSING;
    }
    // The user's callback goes in first, so that no record merged from now on enters the
    // table without being reported.
    m_context.store(context);
    m_callback.store(callback);
    m_engine.set_discovery_cb(&CDiscovery::DiscoveryCbf, this);
    return RC_OK;
}

uint32_t CDiscovery::RefreshDiscovery(const char* address) {
    if (!m_running) {
        DEBUG_LOCATION(kFile, "CDiscovery::RefreshDiscovery");
        return RC_NOT_STARTED;
    }
    ClearDeviceList();
    m_engine.refresh(address);
    return RC_OK;
}

uint32_t CDiscovery::ChangeIp(NETWORK_INFO_REQUEST* request) {
    return change_request(request, false, "CDiscovery::ChangeIp");
}

uint32_t CDiscovery::ChangeIpPort(NETWORK_INFO_REQUEST* request) {
    return change_request(request, true, "CDiscovery::ChangeIpPort");
}

uint32_t CDiscovery::change_request(NETWORK_INFO_REQUEST* request, bool with_mask_and_gateway, const char* function) {
    if (!m_running) {
        DEBUG_LOCATION(kFile, function);
        return RC_NOT_STARTED;
    }
    if (!request) {
        DEBUG_LOCATION(kFile, function);
        return RC_ARG_MISSING;
    }
    bool found = false;
    {
        CAutoMutex lock(&m_table_mutex);
        auto it = std::find_if(m_table.begin(), m_table.end(),
                               [&](const DEV_INFO& d) { return same_mac(d.mac_address, request->dev_mac); });
        if (it != m_table.end()) {
            found = true;
            request->new_dev_cmdport = it->cmd_port;
            request->new_dev_mediaport = it->media_port;
            request->new_dev_mobileport = it->phone_port;
            request->new_dev_httpport = it->http_port;
            if (with_mask_and_gateway) {
                std::memcpy(request->new_dev_submask, it->subnet_mask, kDiscoveryTextSize);
                std::memcpy(request->new_dev_gateway, it->gateway, kDiscoveryTextSize);
            }
            if (m_send_log)
                write_trace(m_send_log,
                            "mac = %.32s, ip = %.32s, submask = %.32s, gateway = %.32s, cmd = %d, media = %d, "
                            "http = %d, mobile = %d\n\n",
                            request->dev_mac, request->new_dev_ip, request->new_dev_submask,
                            request->new_dev_gateway, request->new_dev_cmdport, request->new_dev_mediaport,
                            request->new_dev_httpport, request->new_dev_mobileport);
        }
    }
    if (!found) {
        DEBUG_LOCATION(kFile, function);
        return RC_FAIL;
    }
    return m_engine.send_change_ip_request(*request);
}

uint32_t CDiscovery::GetDeviceList(std::vector<DEV_INFO>& list, int& count) {
    CAutoMutex lock(&m_table_mutex);
    for (const DEV_INFO& record : m_table) {
        list.push_back(record);
        ++count;
    }
    return RC_OK;
}

uint32_t CDiscovery::ClearDeviceList() {
    CAutoMutex lock(&m_table_mutex);
    m_table.clear();
    m_heard_ms.clear();
    return RC_OK;
}

uint32_t CDiscovery::FindDevice(const char* mac, DEV_INFO& record, int64_t& heard_ms) {
    if (!mac) return RC_ARG_MISSING;
    char key[kDiscoveryTextSize] = {};
    std::strncpy(key, mac, kDiscoveryTextSize - 1);
    CAutoMutex lock(&m_table_mutex);
    for (size_t i = 0; i < m_table.size(); ++i) {
        if (!same_mac(m_table[i].mac_address, key)) continue;
        record = m_table[i];
        heard_ms = m_heard_ms[i];
        return RC_OK;
    }
    return RC_FAIL;
}

uint32_t CDiscovery::SweepDiscovery() {
    if (!m_running) {
        DEBUG_LOCATION(kFile, "CDiscovery::SweepDiscovery");
        return RC_NOT_STARTED;
    }
    const int64_t asked = Clock::now_ms();
    std::lock_guard<std::mutex> lock(m_sweep_mutex);
    if (m_last_sweep_ms >= 0 && m_last_sweep_ms + kSweepGapMs > asked) return RC_OK;
    m_engine.send_request_to_all();
    m_last_sweep_ms = Clock::now_ms();
    return RC_OK;
}

uint32_t CDiscovery::DiscoveryCbf(const DEV_INFO* record, uint32_t /*flag*/, void* context) {
    if (!context || !record) {
        DEBUG_LOCATION(kFile, "CDiscovery::DiscoveryCbf");
        return RC_FAIL;
    }
    auto* self = static_cast<CDiscovery*>(context);
    CAutoMutex lock(&self->m_queue_mutex);
    self->m_queue.push_back(*record);
    return RC_OK;
}

uint32_t CDiscovery::ThreadFunc(uint32_t /*argument*/) {
    DEV_INFO record;
    bool have_record = false;
    {
        CAutoMutex lock(&m_queue_mutex);
        if (!m_queue.empty()) {
            record = m_queue.front();
            m_queue.pop_front();
            have_record = true;
        }
    }
    if (have_record)
        MergeDevice(record);
    else
        Clock::sleep_ms(kIdlePollMs);
    return RC_OK;
}

uint32_t CDiscovery::MergeDevice(const DEV_INFO& record) {
    bool is_new = false;
    bool changed = false;
    {
        CAutoMutex lock(&m_table_mutex);
        auto it = std::find_if(m_table.begin(), m_table.end(),
                               [&](const DEV_INFO& d) { return same_mac(d.mac_address, record.mac_address); });
        if (it != m_table.end()) {
            m_heard_ms[static_cast<size_t>(it - m_table.begin())] = Clock::now_ms();
            if (!same_record(*it, record)) {
                *it = record;
                changed = true;
            }
        } else {
            m_table.push_back(record);
            m_heard_ms.push_back(Clock::now_ms());
            is_new = true;
            if (m_recv_log)
                write_trace(m_recv_log,
                            "mac = %.32s, ip = %.32s, submask = %.32s, gateway = %.32s, version = %.32s, cmd = %d, "
                            "media = %d, http = %d, mobile = %d\n\n",
                            record.mac_address, record.ip_address, record.subnet_mask, record.gateway,
                            record.software_ver, record.cmd_port, record.media_port, record.http_port,
                            record.phone_port);
        }
    }
    if (!is_new && !changed) return RC_OK;
    // Called with no lock held, so the callback may read the table.
    DiscoveryCB callback = m_callback.load();
    if (!callback) return RC_OK;
    callback(&record, is_new ? 1u : 0u, m_context.load());
    return RC_OK;
}
