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
    : m_nLimit(nLimit), m_qwAdded(0), m_qwTaken(0), m_pBreakPort(nullptr), m_dwBreakStart(0), m_pBuffer(nullptr),
      m_dwInFlight(0), m_dwRest(0), m_hPort(INVALID_HANDLE_VALUE), m_dwStarted(0), m_dwWait(0), m_bPending(false),
      m_dwGivenUp(0)
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
    m_qwAdded += dwSize;
}

void CWriteQueue::TakeQueued(DWORD dwCount)
{
    m_queued.erase(m_queued.begin(), m_queued.begin() + dwCount);
    m_qwTaken += dwCount;
}

void CWriteQueue::AddBreak(bool bOn)
{
    m_breaks.push_back({m_qwAdded, bOn});
}

// Breaks whose place has come, once the write before them has ended.
void CWriteQueue::ApplyBreaks(CSerialPort& port)
{
    while (!m_bPending && !m_breaks.empty() && m_breaks.front().qwAt <= m_qwTaken) {
        if (!m_breaks.front().bOn) {
            EndBreak();
        } else if (m_pBreakPort == nullptr && port.SetBreak(true)) {
            m_pBreakPort = &port;
            m_dwBreakStart = ::GetTickCount();
        }
        m_breaks.pop_front();
    }
}

void CWriteQueue::EndBreak()
{
    if (m_pBreakPort == nullptr)
        return;
    // A receiver takes a shorter low line for a 0x00 byte with a framing
    // error; this short wait comes only when the next byte follows at once.
    DWORD dwLeast = m_pBreakPort->GetTwoCharacterMs();
    DWORD dwHeld = ::GetTickCount() - m_dwBreakStart;
    if (dwHeld < dwLeast)
        ::Sleep(dwLeast - dwHeld);
    m_pBreakPort->SetBreak(false);
    m_pBreakPort = nullptr;
}

// Bytes the next write may take: up to the next break's place.
DWORD CWriteQueue::GetNextPiece() const
{
    size_t nSize = std::min<size_t>(m_queued.size(), WRITE_PIECE);
    if (!m_breaks.empty())
        nSize = std::min<size_t>(nSize, static_cast<size_t>(m_breaks.front().qwAt - m_qwTaken));
    return static_cast<DWORD>(nSize);
}

void CWriteQueue::Start(CSerialPort& port)
{
    ApplyBreaks(port);
    if (m_bPending || m_queued.empty())
        return;
    HANDLE hPort = port.GetHandle();
    DWORD dwSize = m_dwRest != 0 ? m_dwRest : GetNextPiece();
    if (hPort == INVALID_HANDLE_VALUE || !m_io.IsReady()) {
        // A closed partner takes nothing.
        m_dwGivenUp += static_cast<DWORD>(m_queued.size());
        TakeQueued(static_cast<DWORD>(m_queued.size()));
        m_breaks.clear();
        m_dwRest = 0;
        return;
    }
    ReleaseBuffer();
    m_pBuffer = new BYTE[dwSize];
    std::copy(m_queued.begin(), m_queued.begin() + dwSize, m_pBuffer);
    TakeQueued(dwSize);
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
        ApplyBreaks(port);
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
        m_qwTaken -= m_dwRest;
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
    TakeQueued(static_cast<DWORD>(m_queued.size()));
    m_dwRest = 0;
    // Never left in a break: the partner closes, or the program stops.
    m_breaks.clear();
    EndBreak();
}

} // namespace ZEV
