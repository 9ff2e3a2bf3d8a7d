#include "foundation/Mutex.h"

#include "foundation/ResultCodes.h"
#include "foundation/debug_log.h"

#include <cerrno>

CMutex::~CMutex() {
    // Zeroing only, as documented: an owner that forgot Close leaks the handle rather than
    // destroying a mutex that another thread may still hold.
    m_created = 0;
    m_handle = nullptr;
}

uint32_t CMutex::Create() {
    if (m_created) {
        DEBUG_LOCATION("Mutex", "CMutex::Create");
        return RC_FAIL;
    }
    auto* handle = new pthread_mutex_t;
    pthread_mutexattr_t attr;
    int err = pthread_mutexattr_init(&attr);
    if (err == 0) err = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    if (err == 0) err = pthread_mutex_init(handle, &attr);
    pthread_mutexattr_destroy(&attr);
    if (err != 0) {
        delete handle;
        DEBUG_LOCATION("Mutex", "CMutex::Create");
        debug_log("CreateMutex failed %d\n", err);
        return RC_FAIL;
    }
    m_handle = handle;
    m_created = 1;
    return RC_OK;
}

uint32_t CMutex::Close() {
    if (!m_created) {
        DEBUG_LOCATION("Mutex", "CMutex::Close");
        return RC_FAIL;
    }
    if (m_handle) {
        pthread_mutex_destroy(m_handle);
        delete m_handle;
    }
    m_handle = nullptr;
    m_created = 0;
    return RC_OK;
}

uint32_t CMutex::Wait() {
    if (!m_created) {
        DEBUG_LOCATION("Mutex", "CMutex::Wait");
        return RC_FAIL;
    }
    return pthread_mutex_lock(m_handle) == 0 ? RC_OK : RC_FAIL;
}

uint32_t CMutex::Release() {
    if (!m_created) {
        DEBUG_LOCATION("Mutex", "CMutex::Release");
        return RC_FAIL;
    }
    // A recursive mutex refuses an unlock by a thread that does not own it.
    if (pthread_mutex_unlock(m_handle) != 0) {
        DEBUG_LOCATION("Mutex", "CMutex::Release");
        return RC_FAIL;
    }
    return RC_OK;
}

CAutoMutex::CAutoMutex(CMutex* mutex) : m_mutex(mutex) {
    if (m_mutex)
        m_mutex->Wait();
    else
        DEBUG_LOCATION("Mutex", "CAutoMutex::CAutoMutex");
}

CAutoMutex::~CAutoMutex() {
    if (m_mutex) m_mutex->Release();
    m_mutex = nullptr;
}
