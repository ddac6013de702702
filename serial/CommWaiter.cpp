#include "serial/CommWaiter.h"

#include "serial/CommDriver.h"

namespace ZEV {

namespace {

const DWORD LINE_EVENTS = EV_CTS | EV_DSR;

bool IsSignalled(HANDLE hEvent) { return ::WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0; }

} // namespace

CCommWaiter::CCommWaiter(HANDLE hPort, HANDLE hStop)
    : m_hPort(hPort),
      m_hStop(hStop),
      m_byRead(0),
      m_dwEvents(0),
      m_bReadPending(false),
      m_bLinePending(false),
      m_bLineEvents(false)
{
    // A driver without line events (a pseudo-terminal under Wine) refuses
    // them, and Wine's own are late and busy; the caller then polls the
    // lines instead.
    m_bLineEvents = m_line.IsReady() && CommDriver().HasPromptLineEvents()
                    && CommDriver().SetCommMask(hPort, LINE_EVENTS);
}

CCommWaiter::~CCommWaiter()
{
    if (m_bReadPending)
        m_read.Abandon(m_hPort);
    if (m_bLinePending)
        m_line.Abandon(m_hPort);
}

void CCommWaiter::ArmRead()
{
    if (m_bReadPending || !m_read.IsReady())
        return;
    DWORD dwRead = 0;
    BOOL bDone = CommDriver().ReadFile(m_hPort, &m_byRead, 1, &dwRead, m_read.Begin());
    // A read that failed outright (the device is gone) is tried again at
    // the next wait; the caller's bounded wait keeps that from spinning.
    m_bReadPending = bDone || ::GetLastError() == ERROR_IO_PENDING;
}

void CCommWaiter::ArmLineWait()
{
    if (!m_bLineEvents || m_bLinePending)
        return;
    m_dwEvents = 0;
    BOOL bDone = CommDriver().WaitCommEvent(m_hPort, &m_dwEvents, m_line.Begin());
    if (bDone || ::GetLastError() == ERROR_IO_PENDING)
        m_bLinePending = true;
    else
        m_bLineEvents = false;
}

bool CCommWaiter::TakeRead(BYTE& byFirst, bool bSignalled)
{
    if (!m_bReadPending || !(bSignalled || IsSignalled(m_read.GetEvent())))
        return false;
    DWORD dwRead = 0;
    BOOL bOk = CommDriver().GetOverlappedResult(m_hPort, m_read.Get(), &dwRead, FALSE);
    // Still running after all (its event was set by an earlier use): a
    // second read must not be started on the same OVERLAPPED.
    if (!bOk && ::GetLastError() == ERROR_IO_INCOMPLETE)
        return false;
    m_bReadPending = false;
    // A read whose time-out ran out ends with no byte: it is simply armed
    // again.
    if (!bOk || dwRead != 1)
        return false;
    byFirst = m_byRead;
    return true;
}

void CCommWaiter::TakeLineWait()
{
    if (!m_bLinePending || !IsSignalled(m_line.GetEvent()))
        return;
    DWORD dwUnused = 0;
    if (!CommDriver().GetOverlappedResult(m_hPort, m_line.Get(), &dwUnused, FALSE)
        && ::GetLastError() == ERROR_IO_INCOMPLETE)
        return;
    m_bLinePending = false;
}

bool CCommWaiter::Wait(DWORD dwTimeout, BYTE& byFirst)
{
    ArmRead();
    ArmLineWait();
    HANDLE handles[3];
    DWORD nCount = 0;
    if (m_bReadPending)
        handles[nCount++] = m_read.GetEvent();
    if (m_bLinePending)
        handles[nCount++] = m_line.GetEvent();
    if (m_hStop != NULL)
        handles[nCount++] = m_hStop;
    DWORD dwWoken = WAIT_TIMEOUT;
    if (nCount == 0)
        ::Sleep(dwTimeout);
    else
        dwWoken = ::WaitForMultipleObjects(nCount, handles, FALSE, dwTimeout);
    TakeLineWait();
    // The read's event comes first in the list: when it woke the thread,
    // there is no need to ask again.
    bool bReadWoke = m_bReadPending && dwWoken == WAIT_OBJECT_0;
    // On a time-out nothing was signalled at the time of the wait.
    if (dwWoken == WAIT_TIMEOUT)
        return false;
    return TakeRead(byFirst, bReadWoke);
}

} // namespace ZEV
