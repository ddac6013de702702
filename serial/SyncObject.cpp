#include "serial/SyncObject.h"

#include "support/ZevException.h"

namespace ZEV {

namespace {

BOOL WaitFor(HANDLE h, DWORD dwTimeout)
{
    if (h == NULL)
        return FALSE;
    return ::WaitForSingleObject(h, dwTimeout) == WAIT_OBJECT_0;
}

} // namespace

CSyncSection::CSyncSection() { ::InitializeCriticalSection(&m_section); }

CSyncSection::~CSyncSection() { ::DeleteCriticalSection(&m_section); }

BOOL CSyncSection::Lock(DWORD)
{
    ::EnterCriticalSection(&m_section);
    return TRUE;
}

void CSyncSection::Unlock() { ::LeaveCriticalSection(&m_section); }

CSyncSemaphore::CSyncSemaphore(const char* pszName, LONG nCount)
    : m_hSemaphore(::CreateSemaphoreA(NULL, nCount, nCount, pszName))
{
    if (m_hSemaphore == NULL)
        throw CInvalidParamException(0);
}

CSyncSemaphore::~CSyncSemaphore()
{
    if (m_hSemaphore == NULL)
        return;
    // Let a waiter go before the handle disappears under it.
    ::ReleaseSemaphore(m_hSemaphore, 1, NULL);
    ::CloseHandle(m_hSemaphore);
}

BOOL CSyncSemaphore::Lock(DWORD dwTimeout) { return WaitFor(m_hSemaphore, dwTimeout); }

void CSyncSemaphore::Unlock()
{
    if (m_hSemaphore != NULL)
        ::ReleaseSemaphore(m_hSemaphore, 1, NULL);
}

HANDLE CSyncSemaphore::GetHandle() const { return m_hSemaphore; }

CSyncEvent::CSyncEvent(bool bManualReset, bool bLocked, const char* pszName)
    : m_hEvent(::CreateEventA(NULL, bManualReset ? TRUE : FALSE, bLocked ? FALSE : TRUE, pszName))
{
    if (m_hEvent == NULL)
        throw CInvalidParamException(0);
}

CSyncEvent::~CSyncEvent()
{
    if (m_hEvent == NULL)
        return;
    // Let a waiter go before the handle disappears under it.
    ::SetEvent(m_hEvent);
    ::CloseHandle(m_hEvent);
}

BOOL CSyncEvent::Lock(DWORD dwTimeout) { return WaitFor(m_hEvent, dwTimeout); }

void CSyncEvent::Unlock()
{
    if (m_hEvent != NULL)
        ::SetEvent(m_hEvent);
}

HANDLE CSyncEvent::GetHandle() const { return m_hEvent; }

} // namespace ZEV
