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
    : m_nLimit(nLimit), m_pBuffer(nullptr), m_dwInFlight(0), m_hPort(INVALID_HANDLE_VALUE), m_dwStarted(0),
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
    if (m_queued.size() <= m_nLimit)
        return;
    size_t nOver = m_queued.size() - m_nLimit;
    m_queued.erase(m_queued.begin(), m_queued.begin() + nOver);
    m_dwGivenUp += static_cast<DWORD>(nOver);
}

void CWriteQueue::Start(CSerialPort& port)
{
    if (m_bPending || m_queued.empty())
        return;
    HANDLE hPort = port.GetHandle();
    DWORD dwSize = static_cast<DWORD>(std::min<size_t>(m_queued.size(), WRITE_PIECE));
    if (hPort == INVALID_HANDLE_VALUE || !m_io.IsReady()) {
        // A closed partner takes nothing.
        m_dwGivenUp += static_cast<DWORD>(m_queued.size());
        m_queued.clear();
        return;
    }
    ReleaseBuffer();
    m_pBuffer = new BYTE[dwSize];
    std::copy(m_queued.begin(), m_queued.begin() + dwSize, m_pBuffer);
    m_queued.erase(m_queued.begin(), m_queued.begin() + dwSize);
    m_dwInFlight = dwSize;
    m_hPort = hPort;
    m_dwStarted = ::GetTickCount();
    m_dwWait = port.GetWriteWait(dwSize);
    DWORD dwWritten = 0;
    if (CommDriver().WriteFile(hPort, m_pBuffer, dwSize, &dwWritten, m_io.Begin())) {
        Finish(dwWritten);
        return;
    }
    if (::GetLastError() == ERROR_IO_PENDING) {
        m_bPending = true;
        return;
    }
    // Refused (usbser.sys ends a timed-out write with 121 at once, too).
    Finish(0);
}

HANDLE CWriteQueue::GetEvent() const { return m_bPending ? m_io.GetEvent() : NULL; }

DWORD CWriteQueue::GetTimeLeft() const
{
    if (!m_bPending)
        return 0;
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
    if (CommDriver().GetOverlappedResult(m_hPort, m_io.Get(), &dwWritten, FALSE)
        || ::GetLastError() != ERROR_IO_INCOMPLETE) {
        Finish(dwWritten);
        return;
    }
    if (GetTimeLeft() == 0) {
        m_io.Cancel(m_hPort, &dwWritten);
        Finish(dwWritten);
    }
}

void CWriteQueue::Finish(DWORD dwWritten)
{
    m_bPending = false;
    if (dwWritten < m_dwInFlight)
        m_dwGivenUp += m_dwInFlight - dwWritten;
    m_dwInFlight = 0;
}

void CWriteQueue::Abort()
{
    if (m_bPending) {
        DWORD dwWritten = 0;
        m_io.Cancel(m_hPort, &dwWritten);
        Finish(dwWritten);
    }
    m_dwGivenUp += static_cast<DWORD>(m_queued.size());
    m_queued.clear();
}

} // namespace ZEV
