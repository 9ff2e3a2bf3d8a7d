#pragma once
#include <cstdint>
#include <pthread.h>

// A recursive mutex with explicit Create and Close. Destruction does not close it:
// the owner closes it once every thread that uses it has stopped.
class CMutex {
public:
    CMutex() = default;
    ~CMutex();
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    uint32_t Create();
    uint32_t Close();
    uint32_t Wait();     // no time limit
    uint32_t Release();

    bool IsCreated() const { return m_created != 0; }

private:
    uint32_t m_created = 0;
    pthread_mutex_t* m_handle = nullptr;
};

// Holds a CMutex for one scope. A failed wait is not looked at: the scope runs anyway.
class CAutoMutex {
public:
    explicit CAutoMutex(CMutex* mutex);
    ~CAutoMutex();
    CAutoMutex(const CAutoMutex&) = delete;
    CAutoMutex& operator=(const CAutoMutex&) = delete;

private:
    CMutex* m_mutex;
};
