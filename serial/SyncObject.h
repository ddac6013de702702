#pragma once

#include <windows.h>

namespace ZEV {

// One lock interface over a critical section, a semaphore and an event.
class ISyncObject {
public:
    virtual ~ISyncObject() {}
    // Yes when the lock was obtained within dwTimeout ms (INFINITE: no limit).
    virtual BOOL Lock(DWORD dwTimeout = INFINITE) = 0;
    virtual void Unlock() = 0;
};

// Recursive within one thread; the time-out is ignored because a critical
// section cannot wait for a limited time.
class CSyncSection : public ISyncObject {
public:
    CSyncSection();
    ~CSyncSection() override;

    CSyncSection(const CSyncSection&) = delete;
    CSyncSection& operator=(const CSyncSection&) = delete;

    BOOL Lock(DWORD dwTimeout = INFINITE) override;
    void Unlock() override;

private:
    CRITICAL_SECTION m_section;
};

// A semaphore whose initial and maximum count are both nCount.
// Throws CInvalidParamException when the system refuses to create it.
class CSyncSemaphore : public ISyncObject {
public:
    CSyncSemaphore(const char* pszName, LONG nCount);
    ~CSyncSemaphore() override;

    CSyncSemaphore(const CSyncSemaphore&) = delete;
    CSyncSemaphore& operator=(const CSyncSemaphore&) = delete;

    BOOL Lock(DWORD dwTimeout = INFINITE) override;
    void Unlock() override;
    virtual HANDLE GetHandle() const;

private:
    HANDLE m_hSemaphore;
};

// An event; "locked" is the non-signalled state, so Lock waits for it and
// Unlock signals it. Throws CInvalidParamException when the system refuses
// to create it.
class CSyncEvent : public ISyncObject {
public:
    CSyncEvent(bool bManualReset, bool bLocked, const char* pszName);
    ~CSyncEvent() override;

    CSyncEvent(const CSyncEvent&) = delete;
    CSyncEvent& operator=(const CSyncEvent&) = delete;

    BOOL Lock(DWORD dwTimeout = INFINITE) override;
    void Unlock() override;
    virtual HANDLE GetHandle() const;

private:
    HANDLE m_hEvent;
};

// Holds an ISyncObject locked for the life of the guard.
class CSyncLock {
public:
    explicit CSyncLock(ISyncObject& sync) : m_sync(sync) { m_sync.Lock(INFINITE); }
    ~CSyncLock() { m_sync.Unlock(); }

    CSyncLock(const CSyncLock&) = delete;
    CSyncLock& operator=(const CSyncLock&) = delete;

private:
    ISyncObject& m_sync;
};

} // namespace ZEV
