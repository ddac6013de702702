#include "serial/WriteQueue.h"

#include <algorithm>

#include "serial/CommDriver.h"
#include "serial/SerialPort.h"

namespace ZEV {

namespace {

// Most bytes one write takes: its time-out grows with its size.
const DWORD WRITE_PIECE = 4096;

} // namespace

CWriteQueue::CWriteQueue(size_t nLimit)
    : m_nLimit(nLimit), m_pBuffer(nullptr), m_dwInFlight(0), m_dwRest(0), m_hPort(INVALID_HANDLE_VALUE), m_dwStarted(0),
      m_dwWait(0), m_bPending(false), m_dwGivenUp(0)
{
}

CWriteQueue::~CWriteQueue()
{
    Abort();
    ReleaseBuffer();
}

void CWriteQueue::ReleaseBuffer()
{
    // A write the driver still holds keeps its bytes (and its OVERLAPPED).
    if (m_io.IsReady())
        delete[] m_pBuffer;
    m_pBuffer = nullptr;
}

void CWriteQueue::Add(const BYTE* pData, DWORD dwSize)
{
    m_queued.insert(m_queued.end(), pData, pData + dwSize);
}

void CWriteQueue::Start(CSerialPort& port)
{
    if (m_bPending || m_queued.empty())
        return;
    HANDLE hPort = port.GetHandle();
    DWORD dwSize = m_dwRest != 0 ? m_dwRest : static_cast<DWORD>(std::min<size_t>(m_queued.size(), WRITE_PIECE));
    if (hPort == INVALID_HANDLE_VALUE || !m_io.IsReady()) {
        // A closed partner takes nothing.
        m_dwGivenUp += static_cast<DWORD>(m_queued.size());
        m_queued.clear();
        m_dwRest = 0;
        return;
    }
    ReleaseBuffer();
    m_pBuffer = new BYTE[dwSize];
    std::copy(m_queued.begin(), m_queued.begin() + dwSize, m_pBuffer);
    m_queued.erase(m_queued.begin(), m_queued.begin() + dwSize);
    m_dwInFlight = dwSize;
    m_hPort = hPort;
    if (m_dwRest == 0) {
        m_dwStarted = ::GetTickCount();
        m_dwWait = port.GetWriteWait(dwSize);
    }
    m_dwRest = 0;
    DWORD dwWritten = 0;
    if (CommDriver().WriteFile(hPort, m_pBuffer, dwSize, &dwWritten, m_io.Begin())) {
        Finish(dwWritten, true);
        return;
    }
    if (::GetLastError() == ERROR_IO_PENDING) {
        m_bPending = true;
        return;
    }
    // Refused (usbser.sys ends a timed-out write with 121 at once, too).
    Finish(0, false);
}

HANDLE CWriteQueue::GetEvent() const { return m_bPending ? m_io.GetEvent() : NULL; }

DWORD CWriteQueue::GetTimeLeft() const
{
    return m_bPending ? GetTimeLeftOf() : 0;
}

DWORD CWriteQueue::GetTimeLeftOf() const
{
    if (m_dwWait == INFINITE)
        return INFINITE;
    DWORD dwSpent = ::GetTickCount() - m_dwStarted;
    return dwSpent < m_dwWait ? m_dwWait - dwSpent : 0;
}

void CWriteQueue::Take()
{
    if (!m_bPending)
        return;
    DWORD dwWritten = 0;
    if (CommDriver().GetOverlappedResult(m_hPort, m_io.Get(), &dwWritten, FALSE)) {
        Finish(dwWritten, true);
        return;
    }
    if (::GetLastError() != ERROR_IO_INCOMPLETE) {
        Finish(dwWritten, false);
        return;
    }
    if (GetTimeLeft() == 0) {
        m_io.Cancel(m_hPort, &dwWritten);
        Finish(dwWritten, false);
    }
}

// bEnded: the write ended by itself, without an error.
void CWriteQueue::Finish(DWORD dwWritten, bool bEnded)
{
    m_bPending = false;
    DWORD dwInFlight = m_dwInFlight;
    m_dwInFlight = 0;
    if (dwWritten >= dwInFlight)
        return;
    // A write that wrote nothing by itself ran out of its time-out.
    if (bEnded && dwWritten > 0 && GetTimeLeftOf() > 0) {
        m_queued.insert(m_queued.begin(), m_pBuffer + dwWritten, m_pBuffer + dwInFlight);
        m_dwRest = dwInFlight - dwWritten;
        return;
    }
    m_dwGivenUp += dwInFlight - dwWritten;
}

void CWriteQueue::Abort()
{
    if (m_bPending) {
        DWORD dwWritten = 0;
        m_io.Cancel(m_hPort, &dwWritten);
        Finish(dwWritten, false);
    }
    m_dwGivenUp += static_cast<DWORD>(m_queued.size());
    m_queued.clear();
    m_dwRest = 0;
}

} // namespace ZEV
