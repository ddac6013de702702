#include "serial/OverlappedIo.h"

#include "serial/CommDriver.h"

namespace ZEV {

namespace {

// How long a driver may take to end an operation it was told to give up.
// Drivers end a cancel at once; this only bounds one that misbehaves.
const DWORD CANCEL_WAIT = 1000;
// Re-check while waiting for a cancelled operation, in case its event was
// left set by an earlier use.
const DWORD SETTLE_STEP = 5;

} // namespace

COverlappedIo::COverlappedIo() : m_pOv(&(new TBlock())->ov), m_bHeld(false)
{
    m_pOv->hEvent = ::CreateEventA(NULL, TRUE, FALSE, NULL);
}

COverlappedIo::~COverlappedIo()
{
    // A driver that still holds the operation would write into freed memory
    // and set a closed (perhaps reused) event: both are left to it.
    if (m_bHeld && !HasOverlappedIoCompleted(m_pOv))
        return;
    if (m_pOv->hEvent != NULL)
        ::CloseHandle(m_pOv->hEvent);
    delete reinterpret_cast<TBlock*>(m_pOv);
}

bool COverlappedIo::IsReady()
{
    if (m_bHeld && HasOverlappedIoCompleted(m_pOv))
        m_bHeld = false;
    return m_pOv->hEvent != NULL && !m_bHeld;
}

OVERLAPPED* COverlappedIo::Begin()
{
    // No ResetEvent: a read, write or event wait resets the event itself
    // when it starts, and every system call counts on the way of a byte.
    HANDLE hEvent = m_pOv->hEvent;
    *m_pOv = OVERLAPPED();
    m_pOv->hEvent = hEvent;
    return m_pOv;
}

bool COverlappedIo::Settle(HANDLE hPort, DWORD* pdwCount)
{
    ICommDriver& driver = CommDriver();
    DWORD dwStart = ::GetTickCount();
    for (;;) {
        DWORD dwCount = 0;
        if (driver.GetOverlappedResult(hPort, m_pOv, &dwCount, FALSE) || ::GetLastError() != ERROR_IO_INCOMPLETE) {
            *pdwCount = dwCount;
            return true;
        }
        if (::GetTickCount() - dwStart >= CANCEL_WAIT) {
            m_bHeld = true;
            *pdwCount = 0;
            return false;
        }
        ::WaitForSingleObject(m_pOv->hEvent, SETTLE_STEP);
    }
}

bool COverlappedIo::Cancel(HANDLE hPort, DWORD* pdwCount)
{
    CommDriver().CancelIoEx(hPort, m_pOv);
    return Settle(hPort, pdwCount);
}

COverlappedIo::EEnd COverlappedIo::Finish(HANDLE hPort, BOOL bStarted, DWORD dwTimeout, HANDLE hStop,
                                          DWORD* pdwCount)
{
    *pdwCount = 0;
    DWORD dwError = bStarted ? ERROR_SUCCESS : ::GetLastError();
    // usbser.sys ends a timed-out write this way, some of it perhaps sent.
    if (dwError == ERROR_SEM_TIMEOUT)
        return END_CUT;
    if (dwError != ERROR_SUCCESS && dwError != ERROR_IO_PENDING)
        return END_FAILED;
    if (dwError == ERROR_IO_PENDING) {
        HANDLE handles[2] = {m_pOv->hEvent, hStop};
        DWORD dwWoken = ::WaitForMultipleObjects(hStop != NULL ? 2 : 1, handles, FALSE, dwTimeout);
        if (dwWoken != WAIT_OBJECT_0) {
            Cancel(hPort, pdwCount);
            return END_CUT;
        }
    }
    DWORD dwCount = 0;
    BOOL bOk = CommDriver().GetOverlappedResult(hPort, m_pOv, &dwCount, TRUE);
    *pdwCount = dwCount;
    if (bOk)
        return END_DONE;
    return ::GetLastError() == ERROR_SEM_TIMEOUT ? END_CUT : END_FAILED;
}

} // namespace ZEV
