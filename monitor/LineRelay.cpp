#include "monitor/LineRelay.h"

#include <algorithm>
#include <vector>

#include "monitor/LineEvents.h"
#include "monitor/LineWatch.h"
#include "serial/CommDriver.h"
#include "serial/CommWaiter.h"
#include "support/Tick.h"

namespace {

// Most bytes taken from the driver at once.
const DWORD CHUNK_SIZE = 4096;
// How long a pending 1-byte read waits for its byte before the driver ends
// it empty and it is armed again.
const DWORD READ_WAIT = 200;
// What may wait for the event thread: far more than a log takes in the
// time a window is held up, little for the machine.
const size_t REPORT_BYTE_LIMIT = 8 * 1024 * 1024;
const size_t REPORT_ENTRY_LIMIT = 512 * 1024;
// Bytes that may queue behind a write held by flow control (6.8 s at
// 9600 bit/s, beyond what a device's handshake normally holds) before the
// port is no longer read: the rest waits in the driver, none is dropped.
const size_t WRITE_QUEUE_LIMIT = 64 * 1024;
// A write pending this long is held (flow control, a slow driver): from then
// on the port is read meanwhile. A write that is merely under way lets bytes
// gather in the driver, so that they go out in one write, as with no write.
const DWORD WRITE_HELD_AFTER = 10;
// How long a stop of the own port lets its last bytes go out to the partner.
const DWORD LAST_WRITE_LIMIT = 2000;

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
    , m_hWriteAbort(CreateEventA(NULL, TRUE, FALSE, NULL))
    , m_queue(REPORT_BYTE_LIMIT, REPORT_ENTRY_LIMIT)
    , m_writes(WRITE_QUEUE_LIMIT)
    , m_bUnusable(false)
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
        m_eventThread.Stop(ZEV::THREAD_STOP_LIMIT);
    }
    if (m_hWriteAbort != NULL)
        SetEvent(m_hWriteAbort);
    // An abandoned receive thread keeps what it may still use: the events
    // and the port's handle.
    if (!StopReceiving()) {
        GiveUpPort();
        return;
    }
    if (m_hWake != NULL)
        CloseHandle(m_hWake);
    if (m_hWriteAbort != NULL)
        CloseHandle(m_hWriteAbort);
    // The port part then closes the port with DTR and RTS dropped.
}

void CLineRelay::StartReceiving()
{
    if (m_hWake != NULL)
        ResetEvent(m_hWake);
    if (m_hWriteAbort != NULL)
        ResetEvent(m_hWriteAbort);
    m_receiveThread.Start(THREAD_PRIORITY_TIME_CRITICAL);
}

// The flag is cleared before the wake-up, so the wait that wakes is the
// thread's last: it never spins at its priority while the stopper, perhaps
// on the same CPU, waits for its turn. Answers no when the thread had to
// be abandoned.
bool CLineRelay::StopReceiving()
{
    m_receiveThread.RequestStop();
    if (m_hWake != NULL)
        SetEvent(m_hWake);
    return m_receiveThread.Stop(ZEV::THREAD_STOP_LIMIT) != FALSE;
}

// Answers whether the receive thread ran (and is now stopped or abandoned);
// it cannot stop itself.
bool CLineRelay::PauseReceiving(bool bAbortWrites)
{
    if (!m_receiveThread.IsAlive() || GetCurrentThreadId() == m_receiveThread.GetThreadId())
        return false;
    if (bAbortWrites && m_hWriteAbort != NULL)
        SetEvent(m_hWriteAbort);
    if (!StopReceiving())
        GiveUpPort();
    return true;
}

void CLineRelay::ResumeReceiving()
{
    if (IsOpen())
        StartReceiving();
}

// The receive thread is stuck in a driver call: the handle stays open for
// it and the port is not used again. The port settings dialog then tells
// the user it cannot be opened, as for a port that is gone.
void CLineRelay::GiveUpPort()
{
    m_bUnusable = true;
    ForsakeHandle();
}

void CLineRelay::ForgetPartner(CLineRelay* pPartner)
{
    if (m_pPartner != pPartner)
        return;
    // The pointer is read on every pass, so the loop is paused while it is
    // cleared; afterwards this side relays into nothing, as into a closed
    // partner, and still reports.
    bool bPaused = PauseReceiving(true);
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
    if (!OpenPort())
        return FALSE;
    StartRelaying();
    return TRUE;
}

BOOL CLineRelay::OpenPort()
{
    if (m_bUnusable)
        return FALSE;
    return CSerialPort::Open();
}

void CLineRelay::StartRelaying()
{
    if (IsOpen() && !m_receiveThread.IsAlive())
        StartReceiving();
}

void CLineRelay::Close()
{
    // The receive thread goes first: polling a port that is already closed
    // reads its lines as off, which would drop the partner's outputs and
    // report changes that never happened. Its last bytes still go out to
    // the partner.
    if (GetCurrentThreadId() != m_receiveThread.GetThreadId() && m_receiveThread.IsAlive() && !StopReceiving()) {
        GiveUpPort();
        return;
    }
    // So does the partner's, its writes into this port given up: Windows
    // gives a closed handle's value to the next object opened.
    CLineRelay* pPartner = m_pPartner;
    bool bPaused = pPartner != nullptr && pPartner->PauseReceiving(true);
    if (bPaused && pPartner->IsUnusable()) {
        // Its thread may still be in a call on this port's handle.
        ForsakeHandle();
        return;
    }
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
        bool bChanged = WatchLines(&bReadable);
        return !bReadable ? LINES_UNREADABLE : bChanged ? LINES_CHANGED : LINES_SAME;
    });
    ZEV::CCommWaiter waiter(GetHandle(), m_hWake, READ_WAIT);
    CBreakHold hold(m_writes);
    std::vector<BYTE> chunk(CHUNK_SIZE);
    m_bBreakByteDue = m_bFaultsDeferred = false;
    m_dwDeferredFaults = 0;
    WatchLines();
    while (CanRun()) {
        BYTE byFirst = 0;
        DWORD dwWait = std::min(lineWatch.GetWait(waiter), hold.GetWaitLeft());
        HANDLE hWrite = m_writes.GetEvent();
        DWORD dwSpent = m_writes.GetTimeSpent();
        bool bRead = m_writes.GetRoom() > 0 && (hWrite == NULL || dwSpent >= WRITE_HELD_AFTER);
        if (hWrite != NULL)
            dwWait = std::min(dwWait, m_writes.GetTimeLeft());
        if (hWrite != NULL && !bRead && m_writes.GetRoom() > 0)
            dwWait = std::min(dwWait, WRITE_HELD_AFTER - dwSpent);
        bool bData = waiter.Wait(dwWait, byFirst, hWrite, bRead);
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
        m_writes.Take();
        WritePartner();
        if (m_queue.Rewake())
            WakeEventThread();
    }
    // A byte the last read took before it was ended is still relayed.
    BYTE byLast = 0;
    if (waiter.Stop(byLast))
        RelayChunk(byLast, chunk.data(), CHUNK_SIZE, waiter, waiter.TakeFaultEvents(), hold);
    // A break relayed is let go after the last bytes.
    hold.End();
    FinishWrites();
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
    bool bCts = WatchLine(dwStatus & MS_CTS_ON, m_nLastCts, &CLineRelay::SetRts, RELAY_CTS);
    bool bDsr = WatchLine(dwStatus & MS_DSR_ON, m_nLastDsr, &CLineRelay::SetDtr, RELAY_DSR);
    return bCts || bDsr;
}

bool CLineRelay::WatchLine(DWORD dwOn, std::atomic<int>& nLast, void (CLineRelay::*pDrive)(bool), ERelayEntry eKind)
{
    int nState = dwOn != 0 ? 1 : 0;
    if (nState == nLast)
        return false;
    // The partner's device sees the line before the log does.
    if (m_pPartner)
        (m_pPartner->*pDrive)(nState != 0);
    nLast = nState;
    Report(eKind, static_cast<DWORD>(nState));
    return true;
}

void CLineRelay::RelayChunk(BYTE byFirst, BYTE* pChunk, DWORD dwCapacity, ZEV::CCommWaiter& waiter,
                            DWORD dwFaults, CBreakHold& hold)
{
    // The time the first byte woke the thread stamps the whole chunk.
    ULONGLONG qwMicros = ZEV::GetUtcMicros();
    // Whatever else already waits in the driver goes in the same write.
    pChunk[0] = byFirst;
    DWORD dwSize = 1;
    DWORD dwRoom = static_cast<DWORD>(std::min<size_t>(dwCapacity - 1, m_writes.GetRoom()));
    DWORD dwMore = dwRoom > 0 ? Receive(dwRoom, pChunk + 1) : 0;
    if (dwMore != ZEV::INVALID_SIZE)
        dwSize += dwMore;
    // The break's 0x00 reported in an earlier look comes first in this one.
    if (m_bBreakByteDue && pChunk[0] == 0) {
        ++pChunk;
        --dwSize;
    }
    m_bBreakByteDue = false;
    RelayLook(pChunk, dwSize, waiter.TakeLineErrors() | TakeLineErrors(), dwFaults, hold, qwMicros);
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
    RelayLook(nullptr, 0, dwErrors, dwFaults, hold, ZEV::GetUtcMicros());
}

void CLineRelay::RelayLook(const BYTE* pData, DWORD dwSize, DWORD dwErrors, DWORD dwFaults, CBreakHold& hold,
                           ULONGLONG qwMicros)
{
    // The bytes before the break's 0x00 go first, then the break and the
    // errors (they concern bytes already received), then the bytes after it.
    m_bFaultsDeferred = false;
    const std::vector<ELineEvent> events = LineEventsOf(ZEV::CommDriver().ReportsLineErrors(), dwErrors, dwFaults);
    DWORD dwBefore = (dwErrors & CE_BREAK) != 0 ? FindBreakByte(pData, dwSize) : dwSize;
    // A break without its 0x00 here: the byte is still to come, or is held
    // by the pending 1-byte read, and comes first in the next look.
    m_bBreakByteDue = (dwErrors & CE_BREAK) != 0 && dwBefore == dwSize;
    RelayBytes(pData, dwBefore, hold, qwMicros);
    for (ELineEvent eEvent : events) {
        if (eEvent == LINE_BREAK)
            hold.Begin();
        Report(RELAY_EVENT, static_cast<DWORD>(eEvent));
    }
    if (dwBefore < dwSize)
        RelayBytes(pData + dwBefore + 1, dwSize - dwBefore - 1, hold, qwMicros);
}

void CLineRelay::RelayBytes(const BYTE* pData, DWORD dwSize, CBreakHold& hold, ULONGLONG qwMicros)
{
    if (dwSize == 0)
        return;
    // A byte after a break ends it.
    hold.End();
    m_writes.Add(pData, dwSize);
    WritePartner();
    // Every byte is reported, whatever the partner makes of it.
    if (m_eventThread.IsAlive() && m_queue.AddData(pData, dwSize, qwMicros))
        WakeEventThread();
}

void CLineRelay::WritePartner()
{
    CLineRelay* pPartner = m_pPartner;
    if (pPartner == nullptr)
        m_writes.Abort();
    else
        m_writes.Start(*pPartner);
}

// After the loop: what was read is still written, unless the partner closes
// or the program stops meanwhile; bounded, as every stop.
void CLineRelay::FinishWrites()
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        DWORD dwSpent = GetTickCount() - dwStart;
        if (dwSpent >= LAST_WRITE_LIMIT || WaitForSingleObject(m_hWriteAbort, 0) == WAIT_OBJECT_0) {
            m_writes.Abort();
            return;
        }
        m_writes.Take();
        WritePartner();
        if (m_writes.IsEmpty())
            return;
        HANDLE hWrite = m_writes.GetEvent();
        if (hWrite == NULL)
            continue;
        HANDLE handles[2] = {hWrite, m_hWriteAbort};
        WaitForMultipleObjects(2, handles, FALSE, std::min(m_writes.GetTimeLeft(), LAST_WRITE_LIMIT - dwSpent));
    }
}

void CLineRelay::Report(ERelayEntry eKind, DWORD dwValue)
{
    if (m_eventThread.IsAlive() && m_queue.AddEntry(eKind, dwValue, ZEV::GetUtcMicros()))
        WakeEventThread();
}

// A refused wake-up (a full queue) is asked for again after the next wait.
void CLineRelay::WakeEventThread()
{
    if (!m_eventThread.PostMessage(WM_RELAY_QUEUE, 0, 0))
        m_queue.OnWakeRefused();
}

BOOL CLineRelay::OnThreadMessage(UINT nMessage, WPARAM, LPARAM)
{
    // Entries are taken even without a listener, so that none pile up.
    if (nMessage == WM_RELAY_QUEUE)
        m_queue.Deliver(m_nIndex, m_pListener);
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
    // usbser.sys passes RTS to the device only with a DTR request, and on
    // Windows 8.1 and later the first such request may still carry the RTS
    // value from before the change; the second carries the new one.
    DWORD dwDtr = m_bDtrOn ? SETDTR : CLRDTR;
    driver.EscapeCommFunction(hPort, dwDtr);
    driver.EscapeCommFunction(hPort, dwDtr);
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
