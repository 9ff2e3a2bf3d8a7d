#include "discovery/Discovery.h"

#include "discovery/PrintableText.h"

#include "foundation/Clock.h"
#include "foundation/ResultCodes.h"
#include "foundation/debug_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

namespace {

constexpr const char* kFile = "Discovery";
constexpr int32_t kMinIntervalMs = 1000;
constexpr int64_t kIdlePollMs = 20;
constexpr size_t kTraceLineSize = 1024;

// A record's text as a trace line shows it: bounded by its array (a caller's request may fill
// a field to its last byte) and with control characters escaped, so that a device's text
// cannot forge a line.
std::string trace_text(const char (&field)[kDiscoveryTextSize]) {
    return printable_text(std::string_view(field, strnlen(field, kDiscoveryTextSize)));
}

void write_trace(TraceFile& file, const char* format, ...) __attribute__((format(printf, 2, 3)));
void write_trace(TraceFile& file, const char* format, ...) {
    if (!file.is_open()) return;
    char line[kTraceLineSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) return;
    file.write(std::string_view(line, std::min(static_cast<size_t>(n), sizeof line - 1)));
}

void open_trace(TraceFile& file, const std::string& directory, const char* name) {
    if (file.is_open() || file.open(directory)) return;
    DEBUG_LOCATION(kFile, "CDiscovery::StartDiscovery");
    debug_log("open %s failed\n", name);
}

} // namespace

// The locks live as long as the facade: a job's workers may still look a device up while
// the facade is being stopped.
CDiscovery::CDiscovery(DiscoveryConfig config)
    : m_table(config.device_limit),
      m_engine(config),
      m_queue_limit(std::max<size_t>(config.device_limit, 1)),
      m_send_log("send.txt", config.trace_file_limit),
      m_recv_log("recv.txt", config.trace_file_limit),
      m_trace_directory(config.trace_directory) {
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
    m_send_log.close();
    m_recv_log.close();
}

uint32_t CDiscovery::StartDiscovery(int32_t interval_ms) {
    if (m_running) {
        DEBUG_LOCATION(kFile, "CDiscovery::StartDiscovery");
        return RC_ALREADY_STARTED;
    }
    open_trace(m_send_log, m_trace_directory, "send.txt");
    open_trace(m_recv_log, m_trace_directory, "recv.txt");
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
    }
    {
        CAutoMutex lock(&m_queue_mutex);
        m_queue.clear();
        m_queue_overflowing = false;
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
        const DEV_INFO* it = m_table.find(HeardDevices::key_of(request->dev_mac));
        if (it) {
            found = true;
            request->new_dev_cmdport = it->cmd_port;
            request->new_dev_mediaport = it->media_port;
            request->new_dev_mobileport = it->phone_port;
            request->new_dev_httpport = it->http_port;
            if (with_mask_and_gateway) {
                std::memcpy(request->new_dev_submask, it->subnet_mask, kDiscoveryTextSize);
                std::memcpy(request->new_dev_gateway, it->gateway, kDiscoveryTextSize);
            }
            write_trace(m_send_log,
                        "mac = %s, ip = %s, submask = %s, gateway = %s, cmd = %d, media = %d, http = %d, mobile = %d\n\n",
                        trace_text(request->dev_mac).c_str(), trace_text(request->new_dev_ip).c_str(),
                        trace_text(request->new_dev_submask).c_str(), trace_text(request->new_dev_gateway).c_str(),
                        request->new_dev_cmdport, request->new_dev_mediaport, request->new_dev_httpport,
                        request->new_dev_mobileport);
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
    m_table.append_to(list);
    count += static_cast<int>(m_table.size());
    return RC_OK;
}

uint32_t CDiscovery::ClearDeviceList() {
    CAutoMutex lock(&m_table_mutex);
    m_table.clear();
    return RC_OK;
}

uint32_t CDiscovery::FindDevice(const char* mac, DEV_INFO& record, int64_t& heard_ms) {
    if (!mac) return RC_ARG_MISSING;
    const std::string key(mac, strnlen(mac, kDiscoveryTextSize - 1));
    CAutoMutex lock(&m_table_mutex);
    const DEV_INFO* found = m_table.find(key, &heard_ms);
    if (!found) return RC_FAIL;
    record = *found;
    return RC_OK;
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
    const int64_t now = Clock::now_ms();
    CAutoMutex lock(&self->m_queue_mutex);
    // The receiver never waits for the merge thread; under a flood the newest replies are
    // lost here, as the socket's own buffer would lose them.
    if (self->m_queue.size() >= self->m_queue_limit) {
        if (!self->m_queue_overflowing) {
            DEBUG_LOCATION(kFile, "CDiscovery::DiscoveryCbf");
            debug_log("%zu replies wait to be merged, later ones are dropped\n", self->m_queue.size());
        }
        self->m_queue_overflowing = true;
        return RC_FAIL;
    }
    self->m_queue_overflowing = false;
    self->m_queue.push_back(Heard{*record, now});
    return RC_OK;
}

uint32_t CDiscovery::ThreadFunc(uint32_t /*argument*/) {
    Heard heard{};
    bool have_record = false;
    {
        CAutoMutex lock(&m_queue_mutex);
        if (!m_queue.empty()) {
            heard = m_queue.front();
            m_queue.pop_front();
            have_record = true;
        }
    }
    if (have_record)
        MergeDevice(heard.record, heard.heard_ms);
    else
        Clock::sleep_ms(kIdlePollMs);
    return RC_OK;
}

uint32_t CDiscovery::MergeDevice(const DEV_INFO& record, int64_t heard_ms) {
    HeardDevices::Merge merged;
    {
        CAutoMutex lock(&m_table_mutex);
        merged = m_table.merge(record, heard_ms, m_engine.last_sweep_ms());
        if (merged == HeardDevices::Merge::Refused && m_table.refused() % 1000 == 1) {
            DEBUG_LOCATION(kFile, "CDiscovery::MergeDevice");
            debug_log("device table full (%zu), %llu new devices refused so far\n", m_table.size(),
                      static_cast<unsigned long long>(m_table.refused()));
        }
        if (merged == HeardDevices::Merge::New)
            write_trace(m_recv_log,
                        "mac = %s, ip = %s, submask = %s, gateway = %s, version = %s, cmd = %d, media = %d, "
                        "http = %d, mobile = %d\n\n",
                        trace_text(record.mac_address).c_str(), trace_text(record.ip_address).c_str(),
                        trace_text(record.subnet_mask).c_str(), trace_text(record.gateway).c_str(),
                        trace_text(record.software_ver).c_str(), record.cmd_port, record.media_port,
                        record.http_port, record.phone_port);
    }
    if (merged != HeardDevices::Merge::New && merged != HeardDevices::Merge::Changed) return RC_OK;
    // Called with no lock held, so the callback may read the table.
    DiscoveryCB callback = m_callback.load();
    if (!callback) return RC_OK;
    callback(&record, merged == HeardDevices::Merge::New ? 1u : 0u, m_context.load());
    return RC_OK;
}
