// Firmware upgrade calls of the C interface.
#include "devsdk/client/Library.h"
#include "devsdk/ovix_client.h"

using namespace ovix;
using namespace ovix::client;

extern "C" {

int32_t Network_ClientStartUpgrade(int32_t* upgrade_handle, int32_t login_handle, const char* file_path) {
    if (upgrade_handle) *upgrade_handle = -1;
    if (!upgrade_handle || !file_path) return library().ready() ? OVIX_ERR_BAD_ARGUMENT : OVIX_ERR_NOT_INIT;
    std::shared_ptr<LoginSession> session;
    int32_t result = lookup(library().logins, login_handle, session);
    if (result != OVIX_OK) return result;

    std::shared_ptr<UpgradeJob> job;
    result = UpgradeJob::start(session, file_path, job);
    if (result != OVIX_OK) return result;
    int32_t handle = library().enter(library().upgrades, job);
    if (handle < 0) {
        job->stop();
        return OVIX_ERR_NOT_INIT;
    }
    *upgrade_handle = handle;
    return OVIX_OK;
}

int32_t Network_ClientGetUpgradeStatus(int32_t upgrade_handle, int32_t* percent) {
    if (!percent) return OVIX_ERR_BAD_ARGUMENT;
    std::shared_ptr<UpgradeJob> job;
    int32_t result = lookup(library().upgrades, upgrade_handle, job);
    if (result != OVIX_OK) return result;
    return job->status(*percent);
}

int32_t Network_ClientStopUpgrade(int32_t upgrade_handle) {
    if (!library().ready()) return OVIX_ERR_NOT_INIT;
    std::shared_ptr<UpgradeJob> job = library().upgrades.take(upgrade_handle);
    if (!job) return OVIX_ERR_BAD_HANDLE;
    job->stop();
    return OVIX_OK;
}

} // extern "C"
