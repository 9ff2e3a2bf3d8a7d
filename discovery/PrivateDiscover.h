#pragma once
#include "discovery/DiscoveryConfig.h"
#include "discovery/DiscoveryRecords.h"
#include "discovery/LocalAddresses.h"
#include "foundation/Thread.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

// The record is valid only during the call; flag 1 new device, 0 changed device.
using DiscoveryCB = uint32_t (*)(const DEV_INFO* record, uint32_t flag, void* context);

// The engine proper: learns the local addresses, keeps the receive socket on port 12000,
// broadcasts request sweeps, receives and checks datagrams, decodes replies and hands each
// to its callback; also broadcasts address-change requests.
class private_discover {
public:
    static constexpr const char* kThreadLogName = "private_discover";

    explicit private_discover(DiscoveryConfig config = {});
    ~private_discover();
    private_discover(const private_discover&) = delete;
    private_discover& operator=(const private_discover&) = delete;

    uint32_t start(int32_t interval_ms);
    uint32_t stop();
    uint32_t set_discovery_cb(DiscoveryCB callback, void* context);
    uint32_t refresh(const char* address);  // null keeps the stored refresh address
    uint32_t send_change_ip_request(const NETWORK_INFO_REQUEST& request);

    uint32_t ThreadFunc(uint32_t argument);  // 0 receiver, non-zero sender

    // Visible for tests.
    uint32_t init();
    uint32_t get_host_ip();
    uint32_t send_request_to_all();
    uint32_t recv_packet(int socket);
    uint32_t handle_packet(const char* source_address, const unsigned char* datagram, size_t received);
    uint32_t update_device(const char* source_address, const char* payload, int length);
    const std::vector<std::string>& local_addresses() const { return m_local_addresses; }
    std::string refresh_address() const;
    // When the latest request sweep began (Clock::now_ms), -1 before the first.
    int64_t last_sweep_ms() const { return m_last_sweep_ms.load(); }

private:
    uint32_t create_socket(int* socket_slot);
    uint32_t close_socket(int* socket_slot);
    int open_request_socket(const std::string& bind_address, bool* connected);
    void send_request(int socket, bool connected, const std::string& server_ip);
    void drain_request_socket(int socket);

    CThread<private_discover> m_receiver;
    CThread<private_discover> m_sender;
    // Written by the controlling thread while the sender thread may be reading it.
    mutable std::mutex m_refresh_mutex;
    std::string m_refresh_address;  // at most 15 characters; empty means any address
    std::atomic<DiscoveryCB> m_callback{nullptr};
    std::atomic<void*> m_context{nullptr};
    DiscoveryConfig m_config;
    int m_socket = -1;
    std::vector<std::string> m_local_addresses;
    std::atomic<int64_t> m_last_sweep_ms{-1};
};
