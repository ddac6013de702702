#include "serial/CommWaiter.h"

#include "serial/CommDriver.h"

namespace ZEV {

namespace {

const DWORD LINE_EVENTS = EV_CTS | EV_DSR;
// Reported by Windows' drivers and by Wine alike (Wine from the kernel's
// break and error counts); they cost nothing extra on Windows.
const DWORD FAULT_EVENTS = EV_BREAK | EV_ERR;

bool IsSignalled(HANDLE hEvent) { return ::WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0; }

// Whether tick count a is at or past b, across the counter's wrap.
bool IsReached(DWORD a, DWORD b) { return static_cast<LONG>(a - b) >= 0; }

} // namespace

CCommWaiter::CCommWaiter(HANDLE hPort, HANDLE hStop, DWORD dwReadWait)
    : m_hPort(hPort),
      m_hStop(hStop),
      m_dwReadWait(dwReadWait),
      m_dwMask(FAULT_EVENTS | LINE_EVENTS),
      m_dwFaultEvents(0),
      m_dwLineErrors(0),
      m_dwArmed(0),
      m_dwHoldEnd(0),
      m_bHold(false),
      m_bReadPending(false),
      m_bLinePending(false),
      m_bLineEvents(false),
      m_bEventWaits(false),
      m_bLineTaken(false)
{
    // A driver without line events (a pseudo-terminal under Wine) refuses
    // them; the wait then goes on for breaks and errors alone. Under Wine
    // the one wait serves all four: Wine re-reads the lines and the break
    // and error counts for it every millisecond, whatever it asks for.
    m_bEventWaits = m_line.IsReady() && CommDriver().SetCommMask(hPort, m_dwMask);
    m_bLineEvents = m_bEventWaits && (m_dwMask & LINE_EVENTS) != 0;
}

DWORD CCommWaiter::TakeFaultEvents()
{
    DWORD dwEvents = m_dwFaultEvents;
    m_dwFaultEvents = 0;
    return dwEvents;
}

DWORD CCommWaiter::TakeLineErrors()
{
    DWORD dwErrors = m_dwLineErrors;
    m_dwLineErrors = 0;
    return dwErrors;
}

void CCommWaiter::ClearErrors(COMSTAT* pStat)
{
    DWORD dwErrors = 0;
    if (CommDriver().ClearCommError(m_hPort, &dwErrors, pStat))
        m_dwLineErrors |= dwErrors;
}

CCommWaiter::~CCommWaiter()
{
    BYTE byUnused = 0;
    Stop(byUnused);
}

bool CCommWaiter::IsReadHeld()
{
    if (!m_bHold)
        return false;
    COMSTAT stat = {};
    // Bytes that came meanwhile end the hold at once.
    if (IsReached(::GetTickCount(), m_dwHoldEnd))
        m_bHold = false;
    else
        ClearErrors(&stat);
    if (stat.cbInQue > 0)
        m_bHold = false;
    return m_bHold;
}

DWORD CCommWaiter::GetHoldLeft() const
{
    DWORD dwNow = ::GetTickCount();
    return IsReached(dwNow, m_dwHoldEnd) ? 0 : m_dwHoldEnd - dwNow;
}

void CCommWaiter::ArmRead()
{
    if (m_bReadPending || IsReadHeld() || !m_read.IsReady())
        return;
    DWORD dwRead = 0;
    m_dwArmed = ::GetTickCount();
    BYTE* pByte = reinterpret_cast<BYTE*>(m_read.GetSpare());
    BOOL bDone = CommDriver().ReadFile(m_hPort, pByte, 1, &dwRead, m_read.Begin());
    m_bReadPending = bDone || ::GetLastError() == ERROR_IO_PENDING;
    // A read refused for a line error (fAbortOnError left on by another
    // program) goes again once the error is cleared; one refused because
    // the device is gone is tried at the next wait, which is bounded.
    if (!m_bReadPending)
        ClearErrors(NULL);
}

void CCommWaiter::ArmLineWait()
{
    if (!m_bEventWaits || m_bLinePending || !m_line.IsReady())
        return;
    DWORD* pdwEvents = m_line.GetSpare();
    *pdwEvents = 0;
    BOOL bDone = CommDriver().WaitCommEvent(m_hPort, pdwEvents, m_line.Begin());
    if (bDone || ::GetLastError() == ERROR_IO_PENDING) {
        m_bLinePending = true;
        return;
    }
    // Refused for the lines (no modem status): the wait goes on without them.
    if (m_bLineEvents) {
        DropLineEvents();
        ArmLineWait();
        return;
    }
    m_bEventWaits = false;
}

void CCommWaiter::GiveUpEvents()
{
    m_bEventWaits = m_bLineEvents = false;
    CommDriver().SetCommMask(m_hPort, 0);
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
    if (!bOk) {
        // Ended by a line error: cleared, and the next wait reads on.
        ClearErrors(NULL);
        return false;
    }
    if (dwRead == 1) {
        byFirst = *reinterpret_cast<BYTE*>(m_read.GetSpare());
        return true;
    }
    // An empty read normally means its time-out ran out and it is simply
    // armed again. Some drivers (CH340) ignore the time-out and end it at
    // once: re-arming at once would spin, so the rest of the time-out is
    // waited out on the other events first.
    if (::GetTickCount() - m_dwArmed < m_dwReadWait / 2) {
        m_bHold = true;
        m_dwHoldEnd = m_dwArmed + m_dwReadWait;
    }
    return false;
}

void CCommWaiter::TakeLineWait()
{
    if (!m_bLinePending || !IsSignalled(m_line.GetEvent()))
        return;
    DWORD dwUnused = 0;
    BOOL bOk = CommDriver().GetOverlappedResult(m_hPort, m_line.Get(), &dwUnused, FALSE);
    if (!bOk && ::GetLastError() == ERROR_IO_INCOMPLETE)
        return;
    m_bLinePending = false;
    DWORD dwEvents = bOk ? *m_line.GetSpare() : 0;
    m_bLineTaken = true;
    m_dwFaultEvents |= dwEvents & FAULT_EVENTS;
    if (dwEvents != 0)
        return;
    // Ended with nothing: a line error with fAbortOnError left on (cleared
    // here, and waited for again), or a driver that cannot wait at all (Wine
    // on a terminal without modem status ends every wait at once).
    DWORD dwBefore = m_dwLineErrors;
    m_dwLineErrors = 0;
    ClearErrors(NULL);
    bool bError = m_dwLineErrors != 0;
    m_dwLineErrors |= dwBefore;
    if (!bError)
        GiveUpEvents();
}

bool CCommWaiter::SawLineEvent()
{
    return m_bLineTaken || (m_bLinePending && IsSignalled(m_line.GetEvent()));
}

void CCommWaiter::EndLineWait()
{
    if (!m_bLinePending)
        return;
    m_bLinePending = false;
    // Clearing the mask is the documented way to end a pending event wait,
    // and the one Wine honours: there CancelIoEx leaves the wait pending.
    CommDriver().SetCommMask(m_hPort, 0);
    DWORD dwUnused = 0;
    if (!m_line.Settle(m_hPort, &dwUnused))
        m_line.Cancel(m_hPort, &dwUnused);
}

void CCommWaiter::DropLineEvents()
{
    EndLineWait();
    m_dwMask &= ~LINE_EVENTS;
    m_bLineEvents = false;
    m_bEventWaits = CommDriver().SetCommMask(m_hPort, m_dwMask) != FALSE;
}

bool CCommWaiter::Stop(BYTE& byLast)
{
    EndLineWait();
    if (!m_bReadPending)
        return false;
    m_bReadPending = false;
    DWORD dwRead = 0;
    // A byte that came just before the cancel is the caller's to relay.
    if (!m_read.Cancel(m_hPort, &dwRead) || dwRead != 1)
        return false;
    byLast = *reinterpret_cast<BYTE*>(m_read.GetSpare());
    return true;
}

bool CCommWaiter::Wait(DWORD dwTimeout, BYTE& byFirst, HANDLE hOther, bool bRead)
{
    if (bRead)
        ArmRead();
    ArmLineWait();
    m_bLineTaken = false;
    HANDLE handles[4];
    DWORD nCount = 0;
    if (m_bReadPending)
        handles[nCount++] = m_read.GetEvent();
    if (m_bLinePending)
        handles[nCount++] = m_line.GetEvent();
    if (hOther != NULL)
        handles[nCount++] = hOther;
    if (m_hStop != NULL)
        handles[nCount++] = m_hStop;
    if (m_bHold && GetHoldLeft() < dwTimeout)
        dwTimeout = GetHoldLeft();
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
