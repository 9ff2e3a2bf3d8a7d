#pragma once
#include "devsdk/client/Connection.h"
#include "devsdk/client/Handshake.h"
#include "devsdk/ovix_client.h"

#include <map>
#include <memory>
#include <mutex>

// A login: its connection, its event callback, and the upgrade and live streams that
// receive the frames the device pushes on it.
namespace ovix::client {

class UpgradeJob;
class LiveStream;

class LoginSession : public std::enable_shared_from_this<LoginSession> {
public:
    static int32_t open(const LoginTarget& target, std::shared_ptr<LoginSession>& out);
    ~LoginSession();

    // The handle is known only once the session is in the table; events carry it.
    void set_handle(int32_t handle);
    int32_t set_event_callback(ovix_event_callback callback, void* context);

    int32_t call(Kind kind, ByteView payload, Bytes* data = nullptr);
    int32_t send(Kind kind, ByteView payload, ByteView more = {});
    int32_t send_batch(Kind kind, std::span<const ByteView> payloads, bool& waited);
    bool alive() const;

    // One upgrade at a time per login; false when another one is attached.
    bool attach_upgrade(const std::shared_ptr<UpgradeJob>& job);
    void detach_upgrade(const UpgradeJob* job);
    void attach_stream(uint32_t stream_id, const std::shared_ptr<LiveStream>& stream);
    void detach_stream(uint32_t stream_id);

    // Logout: ends the deliveries of its live streams, tells the device, then ends the
    // connection. No drop event and no frame callback follow.
    void close();

private:
    LoginSession() = default;
    bool on_push(Frame& frame);
    std::shared_ptr<LiveStream> find_stream(uint32_t stream_id);
    void on_drop(int32_t reason);
    void deliver(ovix_event event);

    std::shared_ptr<Connection> m_connection;
    std::mutex m_mutex;
    int32_t m_handle = -1;
    ovix_event_callback m_callback = nullptr;
    void* m_context = nullptr;
    std::weak_ptr<UpgradeJob> m_upgrade;
    std::map<uint32_t, std::weak_ptr<LiveStream>> m_streams;
};

} // namespace ovix::client
