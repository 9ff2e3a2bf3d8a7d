// Init, login and events of the C interface.
#include "devsdk/client/Library.h"
#include "devsdk/ovix_client.h"
#include "devsdk/protocol/LoginProof.h"
#include "foundation/debug_log.h"

using namespace ovix;
using namespace ovix::client;

extern "C" {

int32_t Network_ClientInit(void) {
    if (!crypto_ready()) return OVIX_ERR_RESOURCES;
    Library& lib = library();
    std::lock_guard<std::mutex> lock(lib.mutex);
    ++lib.users;
    return OVIX_OK;
}

int32_t Network_ClientUnInit(void) {
    Library& lib = library();
    {
        std::lock_guard<std::mutex> lock(lib.mutex);
        if (lib.users == 0) return OVIX_ERR_NOT_INIT;
        if (--lib.users > 0) return OVIX_OK;
    }
    // The last user: everything still open is closed, streams and transfers first.
    for (auto& live : lib.lives.take_all()) live->stop();
    for (auto& upgrade : lib.upgrades.take_all()) upgrade->stop();
    for (auto& login : lib.logins.take_all()) login->close();
    return OVIX_OK;
}

int32_t Network_ClientLogin(int32_t* login_handle, const char* ip, int32_t port, const char* user,
                            const char* password) {
    if (login_handle) *login_handle = -1;
    if (!library().ready()) return OVIX_ERR_NOT_INIT;
    if (!login_handle || !ip || !user || !password || port <= 0 || port > 65535) return OVIX_ERR_BAD_ARGUMENT;

    std::shared_ptr<LoginSession> session;
    int32_t result = LoginSession::open({ip, port, user, password}, session);
    if (result != OVIX_OK) return result;
    int32_t handle = library().enter(library().logins, session);
    if (handle < 0) {
        session->close();
        return OVIX_ERR_NOT_INIT;
    }
    session->set_handle(handle);
    *login_handle = handle;
    return OVIX_OK;
}

int32_t Network_ClientLogout(int32_t login_handle) {
    if (!library().ready()) return OVIX_ERR_NOT_INIT;
    std::shared_ptr<LoginSession> session = library().logins.take(login_handle);
    if (!session) {
        DEBUG_LOCATION("ovix_client", "Network_ClientLogout");
        debug_log("no login %d\n", login_handle);
        return OVIX_ERR_BAD_HANDLE;
    }
    session->close();
    return OVIX_OK;
}

int32_t Network_ClientSetEventCB(int32_t login_handle, ovix_event_callback callback, void* context) {
    std::shared_ptr<LoginSession> session;
    int32_t result = lookup(library().logins, login_handle, session);
    if (result != OVIX_OK) return result;
    return session->set_event_callback(callback, context);
}

} // extern "C"
