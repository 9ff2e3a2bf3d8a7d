// Live view calls of the C interface.
#include "devsdk/client/Library.h"
#include "devsdk/ovix_client.h"

using namespace ovix;
using namespace ovix::client;

extern "C" {

int32_t Network_ClientStartLive(int32_t* live_handle, int32_t login_handle, const ovix_live_preview* preview,
                                int32_t, int32_t) {
    if (live_handle) *live_handle = -1;
    if (!live_handle || !preview) return library().ready() ? OVIX_ERR_BAD_ARGUMENT : OVIX_ERR_NOT_INIT;
    std::shared_ptr<LoginSession> session;
    int32_t result = lookup(library().logins, login_handle, session);
    if (result != OVIX_OK) return result;

    std::shared_ptr<LiveStream> stream;
    result = LiveStream::start(session, *preview, stream);
    if (result != OVIX_OK) return result;
    int32_t handle = library().enter(library().lives, stream);
    if (handle < 0) {
        stream->stop();
        return OVIX_ERR_NOT_INIT;
    }
    *live_handle = handle;
    return OVIX_OK;
}

int32_t Network_ClientStopLive(int32_t live_handle) {
    if (!library().ready()) return OVIX_ERR_NOT_INIT;
    std::shared_ptr<LiveStream> stream = library().lives.take(live_handle);
    if (!stream) return OVIX_ERR_BAD_HANDLE;
    stream->stop();
    return OVIX_OK;
}

int32_t Network_ClientLiveControl(int32_t live_handle, int32_t command, void* argument) {
    std::shared_ptr<LiveStream> stream;
    int32_t result = lookup(library().lives, live_handle, stream);
    if (result != OVIX_OK) return result;
    return stream->control(command, argument);
}

} // extern "C"
