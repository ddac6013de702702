#include "monitor/LineRelay.h"

#include <vector>

#include "monitor/LineEvents.h"
#include "monitor/LineWatch.h"
#include "serial/CommDriver.h"
#include "serial/CommWaiter.h"

namespace {

// Bounded stop of the threads, as everywhere in the program: 300 polls of 50 ms.
const DWORD STOP_TIMEOUT = 15000;
// Most bytes taken from the driver and written to the partner at once.
const DWORD CHUNK_SIZE = 4096;
// How long a pending 1-byte read waits for its byte before the driver ends
// it empty and it is armed again.
const DWORD READ_WAIT = 200;

} // namespace

CLineRelay::CLineRelay()
    : m_pListener(nullptr)
    , m_pPartner(nullptr)
    , m_nIndex(0)
    , m_nLastCts(-1)
    , m_nLastDsr(-1)
    , m_bDtrOn(false)
    , m_bBreakByteDue(false)
    , m_dwDeferredFaults(0)
    , m_bFaultsDeferred(false)
    , m_hWake(CreateEventA(NULL, TRUE, FALSE, NULL))
    , m_bCtsFlow(false)
{
}

CLineRelay::~CLineRelay()
{
    // The partner's receive thread writes to this port and drives its
    // lines; it has to let go of this object before the object is gone.
    if (m_pPartner)
        m_pPartner->ForgetPartner(this);
    if (m_eventThread.IsAlive()) {
        m_eventThread.PostMessage(WM_QUIT, 0, 0);
        m_eventThread.Stop(STOP_TIMEOUT);
    }
    // The receive thread must not wait on the event once it is gone.
    StopReceiving();
    if (m_hWake != NULL)
        CloseHandle(m_hWake);
    // The port part then closes the port with DTR and RTS dropped.
}

void CLineRelay::StartReceiving()
{
    if (m_hWake != NULL)
        ResetEvent(m_hWake);
    m_receiveThread.Start(THREAD_PRIORITY_TIME_CRITICAL);
}

void CLineRelay::StopReceiving()
{
    if (m_hWake != NULL)
        SetEvent(m_hWake);
    m_receiveThread.Stop(STOP_TIMEOUT);
}

// Answers whether the receive thread ran (and is now stopped); it cannot
// stop itself.
bool CLineRelay::PauseReceiving()
{
    if (!m_receiveThread.IsAlive() || GetCurrentThreadId() == m_receiveThread.GetThreadId())
        return false;
    StopReceiving();
    return true;
}

void CLineRelay::ResumeReceiving()
{
    if (IsOpen())
        StartReceiving();
}

void CLineRelay::ForgetPartner(CLineRelay* pPartner)
{
    if (m_pPartner != pPartner)
        return;
    // The pointer is read on every pass, so the loop is paused while it is
    // cleared; afterwards this side relays into nothing, as into a closed
    // partner, and still reports.
    bool bPaused = PauseReceiving();
    m_pPartner = nullptr;
    if (bPaused)
        ResumeReceiving();
}

void CLineRelay::Attach(int nIndex, ILineListener* pListener, CLineRelay* pPartner)
{
    m_nIndex = nIndex;
    m_pListener = pListener;
    m_pPartner = pPartner;
    m_eventThread.SetListener(this);
    if (!m_eventThread.IsAlive())
        m_eventThread.Start(THREAD_PRIORITY_TIME_CRITICAL);
    if (!m_receiveThread.IsAlive())
        m_receiveThread.SetRunner(this);
}

BOOL CLineRelay::Open()
{
    if (!CSerialPort::Open())
        return FALSE;
    StartReceiving();
    return TRUE;
}

void CLineRelay::Close()
{
    // The receive thread goes first: polling a port that is already closed
    // reads its lines as off, which would drop the partner's outputs and
    // report changes that never happened.
    if (GetCurrentThreadId() != m_receiveThread.GetThreadId())
        StopReceiving();
    // So does the partner's: it writes into this port and drives its lines,
    // and Windows gives a closed handle's value to the next object opened.
    CLineRelay* pPartner = m_pPartner;
    bool bPaused = pPartner != nullptr && pPartner->PauseReceiving();
    CSerialPort::Close();
    m_bDtrOn = false;
    if (bPaused)
        pPartner->ResumeReceiving();
}

BOOL CLineRelay::OnCommSetting(HANDLE, DCB* pDcb, COMMTIMEOUTS* pTimeouts)
{
    // A 1-byte read waits for its byte (at most READ_WAIT), so the receive
    // thread sleeps until there is something to relay; a read of bytes
    // already queued still returns at once.
    pTimeouts->ReadIntervalTimeout = MAXDWORD;
    pTimeouts->ReadTotalTimeoutMultiplier = MAXDWORD;
    pTimeouts->ReadTotalTimeoutConstant = READ_WAIT;
    if (!m_bCtsFlow)
        return TRUE;
    // The driver waits for CTS before it sends; software flow control would
    // swallow XON/XOFF bytes of the devices' own traffic.
    pDcb->fOutxCtsFlow = 1;
    pDcb->fTXContinueOnXoff = 0;
    pDcb->fOutX = 0;
    pDcb->fInX = 0;
    return TRUE;
}

DWORD CLineRelay::Run()
{
    return RelayLoop();
}

DWORD CLineRelay::RelayLoop()
{
    // The watch's poller thread ends after the waiter, before the port can close.
    CLineWatch lineWatch([this] {
        bool bReadable = false;
        WatchLines(&bReadable);
        return bReadable;
    });
    ZEV::CCommWaiter waiter(GetHandle(), m_hWake, READ_WAIT);
    // A break relayed is let go when the loop ends, after the last byte.
    CBreakHold hold;
    std::vector<BYTE> chunk(CHUNK_SIZE);
    m_bBreakByteDue = m_bFaultsDeferred = false;
    m_dwDeferredFaults = 0;
    WatchLines();
    while (CanRun()) {
        BYTE byFirst = 0;
        DWORD dwWait = lineWatch.GetWait(waiter);
        bool bData = waiter.Wait(dwWait < hold.GetWaitLeft() ? dwWait : hold.GetWaitLeft(), byFirst);
        // Within one wake-up the lines go first, so that a handshake change
        // reaches the partner before the bytes sent after it.
        bool bReadable = false;
        bool bChanged = WatchLines(&bReadable);
        lineWatch.Note(waiter, bReadable, bChanged);
        DWORD dwFaults = waiter.TakeFaultEvents() | m_dwDeferredFaults;
        m_dwDeferredFaults = 0;
        if (bData)
            RelayChunk(byFirst, chunk.data(), CHUNK_SIZE, waiter, dwFaults, hold);
        else if (dwFaults != 0 || m_bFaultsDeferred)
            RelayFaults(waiter, dwFaults, hold);
        hold.EndIfDue();
    }
    // A byte the last read took before it was ended is still relayed.
    BYTE byLast = 0;
    if (waiter.Stop(byLast))
        RelayChunk(byLast, chunk.data(), CHUNK_SIZE, waiter, waiter.TakeFaultEvents(), hold);
    return 0;
}

DWORD CLineRelay::ReadModemStatus(bool* pbReadable)
{
    DWORD dwStatus = 0;
    HANDLE hPort = GetHandle();
    bool bReadable = hPort != INVALID_HANDLE_VALUE && ZEV::CommDriver().GetCommModemStatus(hPort, &dwStatus);
    if (pbReadable != nullptr)
        *pbReadable = bReadable;
    return bReadable ? dwStatus : 0;
}

// Answers whether a line changed.
bool CLineRelay::WatchLines(bool* pbReadable)
{
    // One status read serves both lines: a device call costs more than
    // anything else on the way of a byte. The receive thread and a line
    // poller may both follow the lines; one at a time, so that each change
    // is mirrored and reported once.
    ZEV::CSyncLock lock(m_lineLock);
    DWORD dwStatus = ReadModemStatus(pbReadable);
    bool bCts = WatchLine(dwStatus & MS_CTS_ON, m_nLastCts, &CLineRelay::SetRts, WM_RELAY_CTS);
    bool bDsr = WatchLine(dwStatus & MS_DSR_ON, m_nLastDsr, &CLineRelay::SetDtr, WM_RELAY_DSR);
    return bCts || bDsr;
}

bool CLineRelay::WatchLine(DWORD dwOn, volatile int& nLast, void (CLineRelay::*pDrive)(bool), UINT nMessage)
{
    int nState = dwOn != 0 ? 1 : 0;
    if (nState == nLast)
        return false;
    // The partner's device sees the line before the log does.
    if (m_pPartner)
        (m_pPartner->*pDrive)(nState != 0);
    nLast = nState;
    PostEvent(nMessage, static_cast<BYTE>(nState));
    return true;
}

void CLineRelay::RelayChunk(BYTE byFirst, BYTE* pChunk, DWORD dwCapacity, ZEV::CCommWaiter& waiter,
                            DWORD dwFaults, CBreakHold& hold)
{
    // Whatever else already waits in the driver goes in the same write.
    pChunk[0] = byFirst;
    DWORD dwSize = 1;
    DWORD dwMore = Receive(dwCapacity - 1, pChunk + 1);
    if (dwMore != ZEV::INVALID_SIZE)
        dwSize += dwMore;
    // The break's 0x00 reported in an earlier look comes first in this one.
    if (m_bBreakByteDue && pChunk[0] == 0) {
        ++pChunk;
        --dwSize;
    }
    m_bBreakByteDue = false;
    RelayLook(pChunk, dwSize, waiter.TakeLineErrors() | TakeLineErrors(), dwFaults, hold);
}

void CLineRelay::RelayFaults(ZEV::CCommWaiter& waiter, DWORD dwFaults, CBreakHold& hold)
{
    // A break or an error is reported a moment after it came, so bytes
    // already queued came before it: they are read first (by the pending
    // read, which keeps their order) and the event goes after them. Reading
    // the queue also reads the error bits, where the driver has them.
    DWORD dwQueued = GetQueuedSize();
    if (dwQueued != 0 && dwQueued != ZEV::INVALID_SIZE && !m_bFaultsDeferred) {
        m_dwDeferredFaults = dwFaults;
        m_bFaultsDeferred = true;
        return;
    }
    DWORD dwErrors = waiter.TakeLineErrors() | TakeLineErrors();
    RelayLook(nullptr, 0, dwErrors, dwFaults, hold);
}

void CLineRelay::RelayLook(const BYTE* pData, DWORD dwSize, DWORD dwErrors, DWORD dwFaults, CBreakHold& hold)
{
    // The bytes before the break's 0x00 go first, then the break and the
    // errors (they concern bytes already received), then the bytes after it.
    m_bFaultsDeferred = false;
    const std::vector<ELineEvent> events = LineEventsOf(ZEV::CommDriver().ReportsLineErrors(), dwErrors, dwFaults);
    DWORD dwBefore = (dwErrors & CE_BREAK) != 0 ? FindBreakByte(pData, dwSize) : dwSize;
    // A break without its 0x00 here: the byte is still to come, or is held
    // by the pending 1-byte read, and comes first in the next look.
    m_bBreakByteDue = (dwErrors & CE_BREAK) != 0 && dwBefore == dwSize;
    RelayBytes(pData, dwBefore, hold);
    for (ELineEvent eEvent : events) {
        // The partner's device gets the break before the log shows it.
        if (eEvent == LINE_BREAK && m_pPartner)
            hold.Begin(m_pPartner);
        PostEvent(WM_RELAY_EVENT, static_cast<BYTE>(eEvent));
    }
    if (dwBefore < dwSize)
        RelayBytes(pData + dwBefore + 1, dwSize - dwBefore - 1, hold);
}

void CLineRelay::RelayBytes(const BYTE* pData, DWORD dwSize, CBreakHold& hold)
{
    if (dwSize == 0)
        return;
    // A byte after a break ends it.
    hold.End();
    HandOver(pData, dwSize);
}

void CLineRelay::HandOver(const BYTE* pData, DWORD dwSize)
{
    // One write and one write time-out for the whole chunk, ended at once by
    // a stop. What a closed, failing or held-back partner leaves unsent is
    // dropped, never sent again; every byte is reported either way.
    if (m_pPartner)
        m_pPartner->SendUntil(dwSize, pData, m_hWake);
    ReportData(pData, dwSize);
}

void CLineRelay::ReportData(const BYTE* pData, DWORD dwSize)
{
    if (dwSize == 1) {
        PostEvent(WM_RELAY_DATA, pData[0]);
        return;
    }
    if (!m_eventThread.IsAlive())
        return;
    // One message per chunk: the bytes wait in m_received, in order with
    // the line messages posted before and after.
    {
        ZEV::CSyncLock lock(m_receivedLock);
        m_received.insert(m_received.end(), pData, pData + dwSize);
    }
    if (m_eventThread.PostMessage(WM_RELAY_BLOCK, 0, static_cast<LPARAM>(dwSize)))
        return;
    ZEV::CSyncLock lock(m_receivedLock);
    m_received.erase(m_received.end() - dwSize, m_received.end());
}

void CLineRelay::TakeBlock(DWORD dwSize)
{
    std::vector<BYTE> bytes;
    {
        ZEV::CSyncLock lock(m_receivedLock);
        if (dwSize > m_received.size())
            dwSize = static_cast<DWORD>(m_received.size());
        bytes.assign(m_received.begin(), m_received.begin() + dwSize);
        m_received.erase(m_received.begin(), m_received.begin() + dwSize);
    }
    if (!m_pListener)
        return;
    for (BYTE byte : bytes)
        m_pListener->OnLineData(m_nIndex, 1, &byte);
}

void CLineRelay::PostEvent(UINT nMessage, BYTE nValue)
{
    if (m_eventThread.IsAlive())
        m_eventThread.PostMessage(nMessage, 0, nValue);
}

BOOL CLineRelay::OnThreadMessage(UINT nMessage, WPARAM, LPARAM lParam)
{
    // Queued bytes are taken even without a listener, so that none pile up.
    if (nMessage == WM_RELAY_BLOCK) {
        TakeBlock(static_cast<DWORD>(lParam));
        return TRUE;
    }
    if (!m_pListener)
        return TRUE;
    switch (nMessage) {
    case WM_RELAY_CTS:
        m_pListener->OnCtsChanged(m_nIndex, lParam != 0);
        break;
    case WM_RELAY_DSR:
        m_pListener->OnDsrChanged(m_nIndex, lParam != 0);
        break;
    case WM_RELAY_EVENT:
        m_pListener->OnLineEvent(m_nIndex, static_cast<ELineEvent>(lParam));
        break;
    case WM_RELAY_DATA: {
        BYTE byte = static_cast<BYTE>(lParam & 0xFF);
        m_pListener->OnLineData(m_nIndex, 1, &byte);
        break;
    }

    default:
        break;
    }
    return TRUE;
}

bool CLineRelay::IsCtsOn()
{
    return (ReadModemStatus() & MS_CTS_ON) != 0;
}

void CLineRelay::SetRts(bool bOn)
{
    HANDLE hPort = GetHandle();
    if (hPort == INVALID_HANDLE_VALUE)
        return;
    ZEV::ICommDriver& driver = ZEV::CommDriver();
    driver.EscapeCommFunction(hPort, bOn ? SETRTS : CLRRTS);
    driver.EscapeCommFunction(hPort, m_bDtrOn ? SETDTR : CLRDTR);
}

void CLineRelay::SetDtr(bool bOn)
{
    HANDLE hPort = GetHandle();
    if (hPort == INVALID_HANDLE_VALUE)
        return;
    m_bDtrOn = bOn;
    ZEV::CommDriver().EscapeCommFunction(hPort, bOn ? SETDTR : CLRDTR);
}

void PrimeLines(CLineRelay& port1, CLineRelay& port2, bool& bCts1, bool& bCts2)
{
    port1.SetDtr(port2.IsDsrOn());
    port2.SetDtr(port1.IsDsrOn());
    bCts1 = port1.IsCtsOn();
    bCts2 = port2.IsCtsOn();
    port1.SetRts(bCts2);
    port2.SetRts(bCts1);
}
