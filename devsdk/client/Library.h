#pragma once
#include "devsdk/client/HandleTable.h"
#include "devsdk/client/LiveStream.h"
#include "devsdk/client/LoginSession.h"
#include "devsdk/client/UpgradeJob.h"

#include <atomic>
#include <mutex>

// The library's state between Init and UnInit: the three handle tables.
namespace ovix::client {

struct Library {
    std::mutex mutex;             // guards users, and pairs it with handle insertion
    std::atomic<int32_t> users{0};
    HandleTable<LoginSession> logins;
    HandleTable<UpgradeJob> upgrades;
    HandleTable<LiveStream> lives;

    bool ready() const { return users.load() > 0; }

    // Enters an object under a new handle unless UnInit came first: then -1.
    template <class T>
    int32_t enter(HandleTable<T>& table, std::shared_ptr<T> object) {
        std::lock_guard<std::mutex> lock(mutex);
        return users > 0 ? table.add(std::move(object)) : -1;
    }
};

// Never destroyed: threads of the library may still run while the process exits.
Library& library();

// OVIX_OK with the object behind a handle, OVIX_ERR_NOT_INIT or OVIX_ERR_BAD_HANDLE.
template <class T>
int32_t lookup(HandleTable<T>& table, int32_t handle, std::shared_ptr<T>& out) {
    if (!library().ready()) return OVIX_ERR_NOT_INIT;
    out = table.find(handle);
    return out ? OVIX_OK : OVIX_ERR_BAD_HANDLE;
}

} // namespace ovix::client
