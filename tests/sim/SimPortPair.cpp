#include "tests/sim/SimPortPair.h"

#include <chrono>
#include <cstring>

namespace {

typedef std::chrono::steady_clock TClock;

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
    : m_dwCalls(), m_dwNextHandle(0x5100), m_bInstalled(false), m_pPrevious(nullptr)
{
    m_ports[0].strName = pszName0 ? pszName0 : "";
    m_ports[1].strName = pszName1 ? pszName1 : "";
    for (TSimPort& port : m_ports)
        port.dcb = DefaultDcb();
}

CSimPortPair::~CSimPortPair() { Uninstall(); }

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

BOOL CSimPortPair::Finish(DWORD dwError)
{
    if (dwError == ERROR_SUCCESS)
        return TRUE;
    ::SetLastError(dwError);
    return FALSE;
}

CSimPortPair::TSimPort* CSimPortPair::Find(HANDLE hPort, ESimCall call)
{
    for (int i = 0; i < 2; ++i) {
        if (hPort != NULL && m_ports[i].hOpen == hPort) {
            ++m_dwCalls[i][call];
            return &m_ports[i];
        }
    }
    ++m_dwCalls[UNKNOWN_PORT][call];
    return nullptr;
}

// --- device side ---

void CSimPortPair::DeviceSend(int nPort, const void* pData, DWORD dwSize)
{
    const BYTE* p = static_cast<const BYTE*>(pData);
    std::lock_guard<std::mutex> lock(m_mutex);
    Port(nPort).rxQueue.insert(Port(nPort).rxQueue.end(), p, p + dwSize);
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
    Port(nPort).bDeviceRts = bOn;
    m_changed.notify_all();
}

void CSimPortPair::SetDeviceDtr(int nPort, bool bOn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Port(nPort).bDeviceDtr = bOn;
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

void CSimPortPair::SetWriteLimit(int nPort, DWORD dwLimit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Port(nPort).dwWriteLimit = dwLimit;
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

// --- ICommDriver ---

HANDLE CSimPortPair::OpenPort(const char* name)
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
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_GET_STATE);
        if (pPort == nullptr)
            dwError = ERROR_INVALID_HANDLE;
        else
            *pDcb = pPort->dcb;
    }
    return Finish(dwError);
}

void CSimPortPair::ApplyLineControl(TSimPort& port)
{
    if (port.dcb.fDtrControl == DTR_CONTROL_ENABLE)
        port.bPortDtr = true;
    else if (port.dcb.fDtrControl == DTR_CONTROL_DISABLE)
        port.bPortDtr = false;
    if (port.dcb.fRtsControl == RTS_CONTROL_ENABLE)
        port.bPortRts = true;
    else if (port.dcb.fRtsControl == RTS_CONTROL_DISABLE)
        port.bPortRts = false;
}

BOOL CSimPortPair::SetCommState(HANDLE hPort, DCB* pDcb)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_SET_STATE);
        if (pPort == nullptr) {
            dwError = ERROR_INVALID_HANDLE;
        } else if (pPort->bFaults[SIM_STATE_REFUSED]) {
            dwError = ERROR_INVALID_PARAMETER;
        } else {
            pPort->dcb = *pDcb;
            ApplyLineControl(*pPort);
            m_changed.notify_all();
        }
    }
    return Finish(dwError);
}

BOOL CSimPortPair::GetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_GET_TIMEOUTS);
        if (pPort == nullptr)
            dwError = ERROR_INVALID_HANDLE;
        else
            *pTimeouts = pPort->timeouts;
    }
    return Finish(dwError);
}

BOOL CSimPortPair::SetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_SET_TIMEOUTS);
        if (pPort == nullptr)
            dwError = ERROR_INVALID_HANDLE;
        else
            pPort->timeouts = *pTimeouts;
    }
    return Finish(dwError);
}

BOOL CSimPortPair::PurgeComm(HANDLE hPort, DWORD dwFlags)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_PURGE);
        if (pPort == nullptr) {
            dwError = ERROR_INVALID_HANDLE;
        } else {
            pPort->purges.push_back(dwFlags);
            if (dwFlags & PURGE_RXCLEAR)
                pPort->rxQueue.clear();
            if (dwFlags & PURGE_TXABORT)
                ++pPort->dwAbortGeneration;
            m_changed.notify_all();
        }
    }
    return Finish(dwError);
}

BOOL CSimPortPair::ClearCommError(HANDLE hPort, DWORD* pErrors, COMSTAT* pStat)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_CLEAR_ERROR);
        if (pPort == nullptr) {
            dwError = ERROR_INVALID_HANDLE;
        } else if (pPort->bFaults[SIM_QUEUE_UNREADABLE]) {
            dwError = ERROR_GEN_FAILURE;
        } else {
            if (pErrors != nullptr)
                *pErrors = 0;
            if (pStat != nullptr) {
                memset(pStat, 0, sizeof(*pStat));
                pStat->cbInQue = static_cast<DWORD>(pPort->rxQueue.size());
            }
        }
    }
    return Finish(dwError);
}

BOOL CSimPortPair::SetCommMask(HANDLE hPort, DWORD)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (Find(hPort, SIM_SET_MASK) == nullptr)
            dwError = ERROR_INVALID_HANDLE;
    }
    return Finish(dwError);
}

BOOL CSimPortPair::GetCommModemStatus(HANDLE hPort, DWORD* pStatus)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_MODEM_STATUS);
        if (pPort == nullptr) {
            dwError = ERROR_INVALID_HANDLE;
        } else if (pPort->bFaults[SIM_STATUS_UNREADABLE]) {
            dwError = ERROR_GEN_FAILURE;
        } else {
            *pStatus = (pPort->bDeviceRts ? MS_CTS_ON : 0) | (pPort->bDeviceDtr ? MS_DSR_ON : 0);
        }
    }
    return Finish(dwError);
}

BOOL CSimPortPair::EscapeCommFunction(HANDLE hPort, DWORD dwFunc)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_ESCAPE);
        if (pPort == nullptr) {
            dwError = ERROR_INVALID_HANDLE;
        } else {
            pPort->escapes.push_back(dwFunc);
            switch (dwFunc) {
            case SETRTS: pPort->bPortRts = true; break;
            case CLRRTS: pPort->bPortRts = false; break;
            case SETDTR: pPort->bPortDtr = true; break;
            case CLRDTR: pPort->bPortDtr = false; break;
            default: break;
            }
            m_changed.notify_all();
        }
    }
    return Finish(dwError);
}

BOOL CSimPortPair::ReadFile(HANDLE hPort, void* pBuffer, DWORD dwSize, DWORD* pRead)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_READ);
        if (pPort == nullptr) {
            dwError = ERROR_INVALID_HANDLE;
        } else if (pPort->bFaults[SIM_READ_FAILS]) {
            dwError = ERROR_GEN_FAILURE;
        } else {
            DWORD dwCount = 0;
            BYTE* pOut = static_cast<BYTE*>(pBuffer);
            while (dwCount < dwSize && !pPort->rxQueue.empty()) {
                pOut[dwCount++] = pPort->rxQueue.front();
                pPort->rxQueue.pop_front();
            }
            *pRead = dwCount;
            if (dwCount > 0)
                m_changed.notify_all();
        }
    }
    return Finish(dwError);
}

// Waits while CTS flow control holds the output back. Answers
// ERROR_SUCCESS when the bytes may go, ERROR_TIMEOUT when the write
// time-out ran out first, ERROR_OPERATION_ABORTED when the write was
// cancelled by a close or a TX abort.
DWORD CSimPortPair::HoldForCts(std::unique_lock<std::mutex>& lock, TSimPort& port, DWORD dwSize)
{
    if (!port.dcb.fOutxCtsFlow || port.bDeviceRts)
        return ERROR_SUCCESS;
    DWORD dwGeneration = port.dwAbortGeneration;
    HANDLE hPort = port.hOpen;
    auto bReleased = [&] {
        return port.bDeviceRts || port.dwAbortGeneration != dwGeneration || port.hOpen != hPort;
    };
    DWORD dwLimit = port.timeouts.WriteTotalTimeoutConstant
                    + port.timeouts.WriteTotalTimeoutMultiplier * dwSize;
    if (dwLimit == 0 && port.timeouts.WriteTotalTimeoutMultiplier == 0)
        m_changed.wait(lock, bReleased);
    else if (!m_changed.wait_for(lock, std::chrono::milliseconds(dwLimit), bReleased))
        return ERROR_TIMEOUT;
    if (port.dwAbortGeneration != dwGeneration || port.hOpen != hPort)
        return ERROR_OPERATION_ABORTED;
    return ERROR_SUCCESS;
}

BOOL CSimPortPair::WriteFile(HANDLE hPort, const void* pData, DWORD dwSize, DWORD* pWritten)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_WRITE);
        if (pPort == nullptr) {
            dwError = ERROR_INVALID_HANDLE;
        } else if (pPort->bFaults[SIM_WRITE_FAILS]) {
            dwError = ERROR_GEN_FAILURE;
        } else {
            DWORD dwHold = HoldForCts(lock, *pPort, dwSize);
            if (dwHold == ERROR_OPERATION_ABORTED) {
                dwError = dwHold;
            } else {
                // A write that timed out succeeds having written nothing.
                DWORD dwCount = dwHold == ERROR_TIMEOUT ? 0 : dwSize;
                if (dwCount > pPort->dwWriteLimit)
                    dwCount = pPort->dwWriteLimit;
                pPort->strDeviceBytes.append(static_cast<const char*>(pData), dwCount);
                *pWritten = dwCount;
                m_changed.notify_all();
            }
        }
    }
    return Finish(dwError);
}

BOOL CSimPortPair::CloseHandle(HANDLE hPort)
{
    DWORD dwError = ERROR_SUCCESS;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        TSimPort* pPort = Find(hPort, SIM_CLOSE);
        if (pPort == nullptr) {
            dwError = ERROR_INVALID_HANDLE;
        } else {
            pPort->hOpen = NULL;
            ++pPort->dwAbortGeneration;
            m_changed.notify_all();
        }
    }
    return Finish(dwError);
}
