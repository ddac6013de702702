#include "serial/OverlappedIo.h"

#include "serial/CommDriver.h"

namespace ZEV {

COverlappedIo::COverlappedIo() : m_ov()
{
    m_ov.hEvent = ::CreateEventA(NULL, TRUE, FALSE, NULL);
}

COverlappedIo::~COverlappedIo()
{
    if (m_ov.hEvent != NULL)
        ::CloseHandle(m_ov.hEvent);
}

OVERLAPPED* COverlappedIo::Begin()
{
    // No ResetEvent: a read, write or event wait resets the event itself
    // when it starts, and every system call counts on the way of a byte.
    HANDLE hEvent = m_ov.hEvent;
    m_ov = OVERLAPPED();
    m_ov.hEvent = hEvent;
    return &m_ov;
}

bool COverlappedIo::Finish(HANDLE hPort, BOOL bStarted, DWORD dwTimeout, DWORD* pdwCount)
{
    *pdwCount = 0;
    if (!bStarted && ::GetLastError() != ERROR_IO_PENDING)
        return false;
    ICommDriver& driver = CommDriver();
    bool bCancelled = false;
    if (!bStarted && ::WaitForSingleObject(m_ov.hEvent, dwTimeout) != WAIT_OBJECT_0) {
        driver.CancelIoEx(hPort, &m_ov);
        bCancelled = true;
    }
    DWORD dwCount = 0;
    BOOL bOk = driver.GetOverlappedResult(hPort, &m_ov, &dwCount, TRUE);
    *pdwCount = dwCount;
    if (bOk)
        return true;
    return bCancelled && ::GetLastError() == ERROR_OPERATION_ABORTED;
}

void COverlappedIo::Abandon(HANDLE hPort)
{
    ICommDriver& driver = CommDriver();
    driver.CancelIoEx(hPort, &m_ov);
    DWORD dwCount = 0;
    driver.GetOverlappedResult(hPort, &m_ov, &dwCount, TRUE);
}

} // namespace ZEV
