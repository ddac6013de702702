#include "tests/sim/SimPortPair.h"

#include <chrono>
#include <algorithm>
#include <cstring>

namespace {

// What an OVERLAPPED's Internal holds while its operation runs; once done
// the sim keeps the Win32 error there (0 = success).
const ULONG_PTR SIM_PENDING = 0x103;
const DWORD LINE_EVENTS = EV_CTS | EV_DSR;

// A driver's usual answer before anything was set: 9600 8N1, binary mode,
// DTR and RTS raised by the driver.
DCB DefaultDcb()
{
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    dcb.BaudRate = CBR_9600;
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

bool SameName(const std::string& a, const char* b)
{
    return b != nullptr && lstrcmpiA(a.c_str(), b) == 0;
}

} // namespace

CSimPortPair::CSimPortPair(const char* pszName0, const char* pszName1)
    : m_bStopClock(false), m_dwCalls(), m_dwNextHandle(0x5100), m_dwClosedCalls(0), m_bInstalled(false), m_pPrevious(nullptr)
{
    m_ports[0].strName = pszName0 ? pszName0 : "";
    m_ports[1].strName = pszName1 ? pszName1 : "";
    for (TSimPort& port : m_ports)
        port.dcb = DefaultDcb();
    m_clock = std::thread([this] { ClockLoop(); });
}

CSimPortPair::~CSimPortPair()
{
    Uninstall();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopClock = true;
        m_changed.notify_all();
    }
    m_clock.join();
}

// Ends the operations whose time-out ran out.
void CSimPortPair::ClockLoop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStopClock) {
        Progress();
        TClock::time_point next = TClock::now() + std::chrono::milliseconds(50);
        for (const TPendingOp& op : m_ops) {
            if (!op.bDone && op.bHasDeadline && op.deadline < next)
                next = op.deadline;
        }
        m_changed.wait_until(lock, next);
    }
}

// Windows lets one call at a time work on a handle opened without
// FILE_FLAG_OVERLAPPED; the others wait for it, whichever thread they are on.
class CSimPortPair::CSyncTurn {
public:
    CSyncTurn(CSimPortPair& sim, std::unique_lock<std::mutex>& lock, TSimPort*& pPort, HANDLE hPort)
        : m_sim(sim), m_pPort(nullptr), m_hPort(hPort)
    {
        if (pPort == nullptr || pPort->bOverlapped)
            return;
        TSimPort& port = *pPort;
        sim.m_changed.wait(lock, [&] { return !port.bSyncBusy || port.hOpen != hPort; });
        if (port.hOpen != hPort) {
            pPort = nullptr;
            return;
        }
        port.bSyncBusy = true;
        m_pPort = pPort;
    }
    ~CSyncTurn()
    {
        if (m_pPort == nullptr || m_pPort->hOpen != m_hPort)
            return;
        m_pPort->bSyncBusy = false;
        m_sim.m_changed.notify_all();
    }

private:
    CSimPortPair& m_sim;
    TSimPort* m_pPort;
    HANDLE m_hPort;
};

void CSimPortPair::Install()
{
    if (m_bInstalled)
        return;
    m_pPrevious = ZEV::SetCommDriver(this);
    m_bInstalled = true;
}

void CSimPortPair::Uninstall()
{
    if (!m_bInstalled)
        return;
    ZEV::SetCommDriver(m_pPrevious);
    m_bInstalled = false;
}

CSimPortPair::TSimPort& CSimPortPair::Port(int nPort) { return m_ports[nPort & 1]; }

const CSimPortPair::TSimPort& CSimPortPair::Port(int nPort) const { return m_ports[nPort & 1]; }

// The last error is set once the lock and the handle's turn are released:
// releasing them may touch it.
class CSimPortPair::CErrorOnExit {
public:
    ~CErrorOnExit()
    {
        if (m_dwError != ERROR_SUCCESS)
            ::SetLastError(m_dwError);
    }
    BOOL Set(DWORD dwError)
    {
        m_dwError = dwError;
        return dwError == ERROR_SUCCESS ? TRUE : FALSE;
    }

private:
    DWORD m_dwError = ERROR_SUCCESS;
};

CSimPortPair::TSimPort* CSimPortPair::Find(HANDLE hPort, ESimCall call)
{
    for (int i = 0; i < 2; ++i) {
        if (hPort != NULL && m_ports[i].hOpen == hPort) {
            ++m_dwCalls[i][call];
            return &m_ports[i];
        }
    }
    ++m_dwCalls[UNKNOWN_PORT][call];
    if (std::find(m_closed.begin(), m_closed.end(), hPort) != m_closed.end())
        ++m_dwClosedCalls;
    return nullptr;
}

// What every call on a handle holds while it runs: the pair's lock, the
// port behind the handle (counted) and, on a synchronous handle, its turn.
// The last error is set after both are released.
struct CSimPortPair::CCall {
    CCall(CSimPortPair& sim, HANDLE hPort, ESimCall call)
        : lock(sim.m_mutex), pPort(sim.Find(hPort, call)), turn(sim, lock, pPort, hPort)
    {
    }

    CErrorOnExit error;
    std::unique_lock<std::mutex> lock;
    TSimPort* pPort;
    CSyncTurn turn;
};

// --- device side ---

void CSimPortPair::DeviceSend(int nPort, const void* pData, DWORD dwSize)
{
    const BYTE* p = static_cast<const BYTE*>(pData);
    std::lock_guard<std::mutex> lock(m_mutex);
    TSimPort& port = Port(nPort);
    for (DWORD i = 0; i < dwSize; ++i)
        if (p[i] != 0 || !port.dcb.fNull)
            port.rxQueue.push_back(p[i]);
    if (dwSize > 0)
        NoteEvent(Port(nPort), EV_RXCHAR);
    Progress();
    m_changed.notify_all();
}

void CSimPortPair::DeviceSend(int nPort, const std::string& strBytes)
{
    DeviceSend(nPort, strBytes.data(), static_cast<DWORD>(strBytes.size()));
}

std::string CSimPortPair::TakeDeviceBytes(int nPort)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string strBytes;
    strBytes.swap(Port(nPort).strDeviceBytes);
    return strBytes;
}

std::string CSimPortPair::GetDeviceBytes(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Port(nPort).strDeviceBytes;
}

bool CSimPortPair::WaitForDeviceBytes(int nPort, size_t nCount, DWORD dwTimeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(dwTimeout),
                              [&] { return Port(nPort).strDeviceBytes.size() >= nCount; });
}

void CSimPortPair::SetDeviceRts(int nPort, bool bOn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Port(nPort).bDeviceRts != bOn)
        NoteEvent(Port(nPort), EV_CTS);
    Port(nPort).bDeviceRts = bOn;
    Progress();
    m_changed.notify_all();
}

void CSimPortPair::SetDeviceDtr(int nPort, bool bOn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Port(nPort).bDeviceDtr != bOn)
        NoteEvent(Port(nPort), EV_DSR);
    Port(nPort).bDeviceDtr = bOn;
    Progress();
    m_changed.notify_all();
}

bool CSimPortPair::GetPortRts(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Port(nPort).bPortRts;
}

bool CSimPortPair::GetPortDtr(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Port(nPort).bPortDtr;
}

std::vector<DWORD> CSimPortPair::GetEscapes(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Port(nPort).escapes;
}

// --- driver state ---

void CSimPortPair::SetFault(int nPort, ESimFault fault, bool bOn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Port(nPort).bFaults[fault] = bOn;
    m_changed.notify_all();
}

void CSimPortPair::DeviceSendBreak(int nPort)
{
    // Flagged before the byte is queued: whoever reads the byte finds the error.
    InjectLineError(nPort, CE_BREAK);
    DeviceSend(nPort, "", 1);
}

std::vector<size_t> CSimPortPair::GetDeviceBreaks(int nPort, bool* pbOn) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (pbOn != nullptr)
        *pbOn = Port(nPort).bPortBreak;
    return Port(nPort).breaks;
}

void CSimPortPair::InjectLineError(int nPort, DWORD dwErrors)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    TSimPort& port = Port(nPort);
    port.dwErrors |= dwErrors;
    if (dwErrors & (CE_FRAME | CE_RXPARITY | CE_OVERRUN))
        NoteEvent(port, EV_ERR);
    if (dwErrors & CE_BREAK)
        NoteEvent(port, EV_BREAK);
    port.bAborting = port.dcb.fAbortOnError != 0;
    AbortOps(nPort & 1, port.bAborting, port.bAborting, false);
    m_changed.notify_all();
}

DWORD CSimPortPair::GetClosedHandleCalls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dwClosedCalls;
}

void CSimPortPair::SetWriteLimit(int nPort, DWORD dwLimit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Port(nPort).dwWriteLimit = dwLimit;
}

void CSimPortPair::SetReadLimit(int nPort, DWORD dwLimit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Port(nPort).dwReadLimit = dwLimit;
}

void CSimPortPair::SetDriverDcb(int nPort, const DCB& dcb)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Port(nPort).dcb = dcb;
}

void CSimPortPair::SetDriverTimeouts(int nPort, const COMMTIMEOUTS& timeouts)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Port(nPort).timeouts = timeouts;
}

DCB CSimPortPair::GetDcb(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Port(nPort).dcb;
}

COMMTIMEOUTS CSimPortPair::GetTimeouts(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Port(nPort).timeouts;
}

size_t CSimPortPair::GetQueuedCount(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Port(nPort).rxQueue.size();
}

bool CSimPortPair::IsPortOpen(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Port(nPort).hOpen != NULL;
}

bool CSimPortPair::IsPortOverlapped(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Port(nPort).hOpen != NULL && Port(nPort).bOverlapped;
}

HANDLE CSimPortPair::GetOpenHandle(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    HANDLE h = Port(nPort).hOpen;
    return h != NULL ? h : INVALID_HANDLE_VALUE;
}

std::vector<DWORD> CSimPortPair::GetPurges(int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Port(nPort).purges;
}

DWORD CSimPortPair::GetCallCount(ESimCall call, int nPort) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nPort != SIM_ANY_PORT)
        return m_dwCalls[nPort & 1][call];
    return m_dwCalls[0][call] + m_dwCalls[1][call] + m_dwCalls[UNKNOWN_PORT][call];
}

DWORD CSimPortPair::GetTotalCallCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    DWORD dwTotal = 0;
    for (const auto& calls : m_dwCalls) {
        for (DWORD dw : calls)
            dwTotal += dw;
    }
    return dwTotal;
}

void CSimPortPair::ResetCallCounts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    memset(m_dwCalls, 0, sizeof(m_dwCalls));
}

bool CSimPortPair::WaitUntil(const std::function<bool()>& pred, DWORD dwTimeout)
{
    TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(dwTimeout);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        lock.unlock();
        bool bDone = pred();
        lock.lock();
        if (bDone)
            return true;
        TClock::time_point now = TClock::now();
        if (now >= deadline)
            return false;
        TClock::time_point next = now + std::chrono::milliseconds(20);
        m_changed.wait_until(lock, next < deadline ? next : deadline);
    }
}

// --- pending operations ---

void CSimPortPair::NoteEvent(TSimPort& port, DWORD dwEvent)
{
    // Events outside the mask are not kept, as with a real driver.
    if (port.bFaults[SIM_USBSER])
        dwEvent &= ~EV_CTS;
    port.dwEventsSeen |= dwEvent & port.dwEventMask;
}

DWORD CSimPortPair::TakeReadable(TSimPort& port, BYTE* pBuffer, DWORD dwSize)
{
    DWORD dwCount = 0;
    dwSize = std::min(dwSize, port.dwReadLimit);
    while (dwCount < dwSize && !port.rxQueue.empty()) {
        pBuffer[dwCount++] = port.rxQueue.front();
        port.rxQueue.pop_front();
    }
    return dwCount;
}

void CSimPortPair::Complete(TPendingOp& op, DWORD dwError, DWORD dwCount)
{
    op.bDone = true;
    op.dwError = dwError;
    op.dwCount = dwCount;
    if (op.pOverlapped != nullptr) {
        op.pOverlapped->Internal = dwError;
        op.pOverlapped->InternalHigh = dwCount;
        if (op.pOverlapped->hEvent != NULL)
            ::SetEvent(op.pOverlapped->hEvent);
    }
    m_changed.notify_all();
}

bool CSimPortPair::TryFinish(TPendingOp& op)
{
    TSimPort& port = m_ports[op.nPort];
    bool bTimedOut = op.bHasDeadline && TClock::now() >= op.deadline;
    switch (op.kind) {
    case OP_READ: {
        size_t nQueued = port.rxQueue.size();
        bool bEnough = op.bFirstByte ? nQueued > 0 : nQueued >= op.dwSize;
        if (!bEnough && !bTimedOut)
            return false;
        Complete(op, ERROR_SUCCESS, TakeReadable(port, op.pBuffer, op.dwSize));
        return true;
    }
    case OP_WRITE: {
        bool bMayGo = !port.dcb.fOutxCtsFlow || port.bDeviceRts;
        if (!bMayGo && !bTimedOut)
            return false;
        // A write that timed out succeeds having written nothing.
        DWORD dwCount = bMayGo ? op.dwSize : (port.bFaults[SIM_FTDI] ? op.dwSize / 2 : 0);
        if (dwCount > port.dwWriteLimit)
            dwCount = port.dwWriteLimit;
        port.strDeviceBytes.append(op.strData, 0, dwCount);
        Complete(op, !bMayGo && port.bFaults[SIM_USBSER] ? ERROR_SEM_TIMEOUT : ERROR_SUCCESS, dwCount);
        return true;
    }
    case OP_WAIT_EVENT: {
        DWORD dwEvents = port.dwEventsSeen & port.dwEventMask;
        if (dwEvents == 0)
            return false;
        port.dwEventsSeen &= ~dwEvents;
        *op.pMask = dwEvents;
        Complete(op, ERROR_SUCCESS, 0);
        return true;
    }
    }
    return false;
}

void CSimPortPair::Progress()
{
    for (auto it = m_ops.begin(); it != m_ops.end();) {
        if (!it->bDone)
            TryFinish(*it);
        // Synchronous callers take their own result and erase it.
        if (it->bDone && it->pOverlapped != nullptr)
            it = m_ops.erase(it);
        else
            ++it;
    }
}

void CSimPortPair::AbortOps(int nPort, bool bReads, bool bWrites, bool bWaits)
{
    for (TPendingOp& op : m_ops) {
        if (op.bDone || op.nPort != nPort)
            continue;
        bool bAbort = (op.kind == OP_READ && bReads) || (op.kind == OP_WRITE && bWrites)
                      || (op.kind == OP_WAIT_EVENT && bWaits);
        if (bAbort)
            Complete(op, ERROR_OPERATION_ABORTED, 0);
    }
    Progress();
}

BOOL CSimPortPair::Submit(std::unique_lock<std::mutex>& lock, CErrorOnExit& error, TSimPort& port, TPendingOp op,
                          DWORD* pCount)
{
    op.nPort = IndexOf(port);
    op.bDone = false;
    if (op.pOverlapped != nullptr) {
        op.pOverlapped->Internal = SIM_PENDING;
        op.pOverlapped->InternalHigh = 0;
        if (op.pOverlapped->hEvent != NULL)
            ::ResetEvent(op.pOverlapped->hEvent);
    }
    if (TryFinish(op)) {
        if (pCount != nullptr)
            *pCount = op.dwCount;
        return error.Set(op.dwError);
    }
    if (op.pOverlapped != nullptr) {
        m_ops.push_back(op);
        m_changed.notify_all();
        return error.Set(ERROR_IO_PENDING);
    }
    auto it = m_ops.insert(m_ops.end(), op);
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return it->bDone; });
    DWORD dwError = it->dwError;
    if (pCount != nullptr)
        *pCount = it->dwCount;
    m_ops.erase(it);
    return error.Set(dwError);
}

// --- ICommDriver ---

HANDLE CSimPortPair::OpenPort(const char* name, DWORD dwFlags)
{
    DWORD dwError = ERROR_FILE_NOT_FOUND;
    HANDLE hPort = INVALID_HANDLE_VALUE;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        int nFound = UNKNOWN_PORT;
        for (int i = 0; i < 2; ++i) {
            if (SameName(m_ports[i].strName, name))
                nFound = i;
        }
        ++m_dwCalls[nFound][SIM_OPEN];
        if (nFound != UNKNOWN_PORT) {
            TSimPort& port = m_ports[nFound];
            if (port.bFaults[SIM_ABSENT]) {
                dwError = ERROR_FILE_NOT_FOUND;
            } else if (port.bFaults[SIM_BUSY] || port.hOpen != NULL) {
                // Opened without sharing.
                dwError = ERROR_ACCESS_DENIED;
            } else {
                m_dwNextHandle += 4;
                port.hOpen = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(m_dwNextHandle));
                if (port.bFaults[SIM_REUSE_HANDLES] && !m_closed.empty()) {
                    port.hOpen = m_closed.back();
                    m_closed.pop_back();
                }
                port.bOverlapped = (dwFlags & FILE_FLAG_OVERLAPPED) != 0;
                port.bSyncBusy = false;
                port.dwEventMask = 0;
                port.dwEventsSeen = 0;
                hPort = port.hOpen;
                dwError = ERROR_SUCCESS;
                m_changed.notify_all();
            }
        }
    }
    if (hPort == INVALID_HANDLE_VALUE)
        ::SetLastError(dwError);
    return hPort;
}

BOOL CSimPortPair::GetCommState(HANDLE hPort, DCB* pDcb)
{
    CCall call(*this, hPort, SIM_GET_STATE);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    *pDcb = pPort->dcb;
    return TRUE;
}

void CSimPortPair::ApplyLineControl(TSimPort& port)
{
    port.bPortRts = port.bRtsAsked;
    if (port.dcb.fDtrControl == DTR_CONTROL_ENABLE)
        port.bPortDtr = true;
    else if (port.dcb.fDtrControl == DTR_CONTROL_DISABLE)
        port.bPortDtr = false;
    if (port.dcb.fRtsControl == RTS_CONTROL_ENABLE)
        port.bPortRts = true;
    else if (port.dcb.fRtsControl == RTS_CONTROL_DISABLE)
        port.bPortRts = false;
    port.bRtsAsked = port.bPortRts;
    port.bRtsLagged = port.bPortRts;
}

BOOL CSimPortPair::SetCommState(HANDLE hPort, DCB* pDcb)
{
    CCall call(*this, hPort, SIM_SET_STATE);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    if (pPort->bFaults[SIM_STATE_REFUSED] || pDcb->XonChar == pDcb->XoffChar)
        return error.Set(ERROR_INVALID_PARAMETER);
    pPort->dcb = *pDcb;
    ApplyLineControl(*pPort);
    // A write held for CTS may go now that flow control is off.
    Progress();
    m_changed.notify_all();
    return TRUE;
}

BOOL CSimPortPair::GetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts)
{
    CCall call(*this, hPort, SIM_GET_TIMEOUTS);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    *pTimeouts = pPort->timeouts;
    return TRUE;
}

BOOL CSimPortPair::SetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts)
{
    CCall call(*this, hPort, SIM_SET_TIMEOUTS);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    pPort->timeouts = *pTimeouts;
    return TRUE;
}

BOOL CSimPortPair::PurgeComm(HANDLE hPort, DWORD dwFlags)
{
    CCall call(*this, hPort, SIM_PURGE);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    pPort->purges.push_back(dwFlags);
    if (dwFlags & PURGE_RXCLEAR)
        pPort->rxQueue.clear();
    AbortOps(IndexOf(*pPort), (dwFlags & PURGE_RXABORT) != 0, (dwFlags & PURGE_TXABORT) != 0, false);
    m_changed.notify_all();
    return TRUE;
}

BOOL CSimPortPair::ClearCommError(HANDLE hPort, DWORD* pErrors, COMSTAT* pStat)
{
    CCall call(*this, hPort, SIM_CLEAR_ERROR);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    if (pPort->bFaults[SIM_QUEUE_UNREADABLE])
        return error.Set(ERROR_GEN_FAILURE);
    if (pErrors != nullptr)
        *pErrors = pPort->dwErrors;
    pPort->dwErrors = 0;
    pPort->bAborting = false;
    if (pStat != nullptr) {
        memset(pStat, 0, sizeof(*pStat));
        pStat->cbInQue = static_cast<DWORD>(pPort->rxQueue.size());
    }
    return TRUE;
}

BOOL CSimPortPair::SetCommMask(HANDLE hPort, DWORD dwMask)
{
    CCall call(*this, hPort, SIM_SET_MASK);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    pPort->dwEventMask = dwMask;
    pPort->dwEventsSeen = 0;
    // A new mask ends a waiting event wait with no event.
    for (TPendingOp& op : m_ops) {
        if (!op.bDone && op.kind == OP_WAIT_EVENT && op.nPort == IndexOf(*pPort)) {
            *op.pMask = 0;
            Complete(op, ERROR_SUCCESS, 0);
        }
    }
    Progress();
    return TRUE;
}

BOOL CSimPortPair::WaitCommEvent(HANDLE hPort, DWORD* pMask, OVERLAPPED* pOverlapped)
{
    CCall call(*this, hPort, SIM_WAIT_EVENT);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    if (pPort->bFaults[SIM_NO_LINE_EVENTS] && (pPort->dwEventMask & LINE_EVENTS) != 0)
        return error.Set(ERROR_NOT_SUPPORTED);
    if (pPort->dwEventMask == 0 || (pOverlapped == nullptr && pPort->bOverlapped))
        return error.Set(ERROR_INVALID_PARAMETER);
    for (const TPendingOp& op : m_ops) {
        if (!op.bDone && op.kind == OP_WAIT_EVENT && op.nPort == IndexOf(*pPort))
            return error.Set(ERROR_INVALID_PARAMETER);
    }
    if (pPort->bFaults[SIM_WINE])
        pPort->dwEventsSeen = 0;
    TPendingOp op = {};
    op.kind = OP_WAIT_EVENT;
    op.pOverlapped = pPort->bOverlapped ? pOverlapped : nullptr;
    op.pMask = pMask;
    return Submit(call.lock, error, *pPort, op, nullptr);
}

BOOL CSimPortPair::GetCommModemStatus(HANDLE hPort, DWORD* pStatus)
{
    CCall call(*this, hPort, SIM_MODEM_STATUS);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    m_changed.wait(call.lock, [&] { return !pPort->bFaults[SIM_STATUS_HANGS]; });
    if (pPort->bFaults[SIM_STATUS_UNREADABLE])
        return error.Set(ERROR_GEN_FAILURE);
    *pStatus = (pPort->bDeviceRts ? MS_CTS_ON : 0) | (pPort->bDeviceDtr ? MS_DSR_ON : 0);
    return TRUE;
}

bool CSimPortPair::HasPromptLineEvents()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_ports[0].bFaults[SIM_WINE] && !m_ports[1].bFaults[SIM_WINE];
}

BOOL CSimPortPair::EscapeCommFunction(HANDLE hPort, DWORD dwFunc)
{
    CCall call(*this, hPort, SIM_ESCAPE);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    pPort->escapes.push_back(dwFunc);
    bool bUsbser = pPort->bFaults[SIM_USBSER];
    switch (dwFunc) {
    case SETRTS:
    case CLRRTS:
        pPort->bRtsLagged = pPort->bRtsAsked;
        pPort->bRtsAsked = dwFunc == SETRTS;
        break;
    case SETDTR: pPort->bPortDtr = true; break;
    case CLRDTR: pPort->bPortDtr = false; break;
    default: break;
    }
    if (!bUsbser) {
        pPort->bPortRts = pPort->bRtsAsked;
    } else if (dwFunc == SETDTR || dwFunc == CLRDTR) {
        // The DTR request carries the RTS value asked before the last change.
        pPort->bPortRts = pPort->bRtsLagged;
        pPort->bRtsLagged = pPort->bRtsAsked;
    }
    m_changed.notify_all();
    return TRUE;
}

BOOL CSimPortPair::SetCommBreak(HANDLE hPort) { return SetBreak(hPort, true); }

BOOL CSimPortPair::ClearCommBreak(HANDLE hPort) { return SetBreak(hPort, false); }

BOOL CSimPortPair::SetBreak(HANDLE hPort, bool bOn)
{
    CCall call(*this, hPort, SIM_ESCAPE);
    if (call.pPort == nullptr)
        return call.error.Set(ERROR_INVALID_HANDLE);
    if (bOn && !call.pPort->bPortBreak)
        call.pPort->breaks.push_back(call.pPort->strDeviceBytes.size());
    call.pPort->bPortBreak = bOn;
    m_changed.notify_all();
    return TRUE;
}

BOOL CSimPortPair::ReadFile(HANDLE hPort, void* pBuffer, DWORD dwSize, DWORD* pRead, OVERLAPPED* pOverlapped)
{
    CCall call(*this, hPort, SIM_READ);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    if (pPort->bFaults[SIM_READ_FAILS])
        return error.Set(ERROR_GEN_FAILURE);
    if (pPort->bAborting)
        return error.Set(ERROR_OPERATION_ABORTED);
    if (pOverlapped == nullptr && pPort->bOverlapped)
        return error.Set(ERROR_INVALID_PARAMETER);
    const COMMTIMEOUTS& t = pPort->timeouts;
    TPendingOp op = {};
    op.kind = OP_READ;
    op.pOverlapped = pPort->bOverlapped ? pOverlapped : nullptr;
    op.pBuffer = static_cast<BYTE*>(pBuffer);
    op.dwSize = dwSize;
    DWORD dwWait = 0;
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
        op.bHasDeadline = true; // what is there, at once
    } else if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD
               && t.ReadTotalTimeoutConstant != 0 && t.ReadTotalTimeoutConstant != MAXDWORD) {
        op.bFirstByte = true;
        op.bHasDeadline = true;
        dwWait = pPort->bFaults[SIM_CH340] ? 0 : t.ReadTotalTimeoutConstant;
    } else {
        dwWait = t.ReadTotalTimeoutMultiplier * dwSize + t.ReadTotalTimeoutConstant;
        op.bHasDeadline = dwWait != 0;
    }
    op.deadline = TClock::now() + std::chrono::milliseconds(dwWait);
    return Submit(call.lock, error, *pPort, op, pRead);
}

BOOL CSimPortPair::WriteFile(HANDLE hPort, const void* pData, DWORD dwSize, DWORD* pWritten,
                             OVERLAPPED* pOverlapped)
{
    CCall call(*this, hPort, SIM_WRITE);
    TSimPort* pPort = call.pPort;
    CErrorOnExit& error = call.error;
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    if (pPort->bFaults[SIM_WRITE_FAILS])
        return error.Set(ERROR_GEN_FAILURE);
    if (pPort->bAborting)
        return error.Set(ERROR_OPERATION_ABORTED);
    if (pOverlapped == nullptr && pPort->bOverlapped)
        return error.Set(ERROR_INVALID_PARAMETER);
    const COMMTIMEOUTS& t = pPort->timeouts;
    TPendingOp op = {};
    op.kind = OP_WRITE;
    op.pOverlapped = pPort->bOverlapped ? pOverlapped : nullptr;
    op.strData.assign(static_cast<const char*>(pData), dwSize);
    op.dwSize = dwSize;
    DWORD dwWait = t.WriteTotalTimeoutConstant + t.WriteTotalTimeoutMultiplier * dwSize;
    op.bHasDeadline = dwWait != 0;
    op.deadline = TClock::now() + std::chrono::milliseconds(dwWait);
    return Submit(call.lock, error, *pPort, op, pWritten);
}

BOOL CSimPortPair::GetOverlappedResult(HANDLE hPort, OVERLAPPED* pOverlapped, DWORD* pCount, BOOL bWait)
{
    CErrorOnExit error;
    std::unique_lock<std::mutex> lock(m_mutex);
    // The handle is not needed once the operation started (it may be closed
    // by now), as on Windows; it is only counted.
    Find(hPort, SIM_OVERLAPPED_RESULT);
    if (pOverlapped->Internal == SIM_PENDING && !bWait)
        return error.Set(ERROR_IO_INCOMPLETE);
    m_changed.wait(lock, [&] { return pOverlapped->Internal != SIM_PENDING; });
    *pCount = static_cast<DWORD>(pOverlapped->InternalHigh);
    return error.Set(static_cast<DWORD>(pOverlapped->Internal));
}

BOOL CSimPortPair::CancelIoEx(HANDLE hPort, OVERLAPPED* pOverlapped)
{
    CErrorOnExit error;
    std::unique_lock<std::mutex> lock(m_mutex);
    TSimPort* pPort = Find(hPort, SIM_CANCEL);
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    bool bFound = false;
    for (TPendingOp& op : m_ops) {
        if (op.bDone || op.nPort != IndexOf(*pPort) || op.pOverlapped == nullptr || op.kind == OP_WAIT_EVENT)
            continue;
        if (pOverlapped != nullptr && op.pOverlapped != pOverlapped)
            continue;
        Complete(op, ERROR_OPERATION_ABORTED, 0);
        bFound = true;
    }
    Progress();
    return error.Set(bFound || pOverlapped == nullptr ? ERROR_SUCCESS : ERROR_NOT_FOUND);
}

BOOL CSimPortPair::CloseHandle(HANDLE hPort)
{
    CErrorOnExit error;
    std::unique_lock<std::mutex> lock(m_mutex);
    TSimPort* pPort = Find(hPort, SIM_CLOSE);
    if (pPort == nullptr)
        return error.Set(ERROR_INVALID_HANDLE);
    AbortOps(IndexOf(*pPort), true, true, true);
    m_closed.push_back(pPort->hOpen);
    pPort->hOpen = NULL;
    pPort->bOverlapped = false;
    pPort->bSyncBusy = false;
    m_changed.notify_all();
    return TRUE;
}
