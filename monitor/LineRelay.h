#pragma once

#include <windows.h>

#include <atomic>

#include "monitor/BreakHold.h"
#include "monitor/LineListener.h"
#include "monitor/RelayQueue.h"
#include "serial/MessageThread.h"
#include "serial/SerialPort.h"
#include "serial/WorkerThread.h"
#include "serial/WriteQueue.h"

namespace ZEV {
class CCommWaiter;
}

// The thread message that wakes a relay's event thread: its queue has
// entries (wParam and lParam 0). Posted once per turn to non-empty.
const UINT WM_RELAY_QUEUE = 0x8003;

// One side of the relaying pair. Its receive thread sleeps until the own
// port has bytes or its lines change, or its write to the partner ends; it
// hands every byte already received to the partner port, queued behind any
// write still held by flow control, and mirrors the own CTS/DSR inputs onto
// the partner's RTS/DTR outputs. What it saw goes, stamped with the time it
// was read, through one ordered queue to the event thread, which turns it
// into listener calls, so that logging never holds up the relay.
class CLineRelay : public ZEV::CSerialPort,
                   public ZEV::IThreadRunner,
                   public ZEV::IThreadListener
{
public:
    CLineRelay();
    virtual ~CLineRelay();

    // Binds index, listener and partner and starts the event thread.
    void Attach(int nIndex, ILineListener* pListener, CLineRelay* pPartner);

    // Opens the port and starts relaying.
    BOOL Open() override;
    // Opens the port without relaying yet: bytes wait in the driver until
    // StartRelaying (see OpenPair).
    BOOL OpenPort();
    void StartRelaying();
    void Close() override;
    BOOL OnCommSetting(HANDLE hPort, DCB* pDcb, COMMTIMEOUTS* pTimeouts) override;

    // Receive thread body: each wake-up looks at CTS, then DSR, then relays
    // what arrived and moves the writes to the partner on.
    DWORD RelayLoop();

    // Own CTS input, read now; a failed read counts as off (IsDsrOn is the
    // port's own).
    bool IsCtsOn();
    // Own modem outputs; failures are ignored, a closed port is not touched.
    void SetRts(bool bOn);
    void SetDtr(bool bOn);

    int GetIndex() const { return m_nIndex; }
    int GetLastCts() const { return m_nLastCts; }
    int GetLastDsr() const { return m_nLastDsr; }
    bool IsReceiving() const { return m_receiveThread.IsAlive(); }
    bool IsReporting() const { return m_eventThread.IsAlive(); }
    DWORD GetReceiveThreadId() const { return m_receiveThread.GetThreadId(); }
    DWORD GetEventThreadId() const { return m_eventThread.GetThreadId(); }
    // A receive thread outlived its stop (stuck in a driver call): the port
    // stays as it is and cannot be opened again.
    bool IsUnusable() const { return m_bUnusable; }
    // Received bytes the partner did not take: held past the write
    // time-out, or written to a partner that failed or closed.
    DWORD GetBytesGivenUp() const { return m_writes.GetGivenUp(); }

    // IThreadRunner
    DWORD Run() override;
    void OnThreadStart() override {}
    void OnThreadExit() override {}

    // IThreadListener: the event thread's handler; never ends the thread.
    BOOL OnThreadMessage(UINT nMessage, WPARAM wParam, LPARAM lParam) override;

private:
    DWORD ReadModemStatus(bool* pbReadable = nullptr);
    bool WatchLines(bool* pbReadable = nullptr);
    bool WatchLine(DWORD dwOn, std::atomic<int>& nLast, void (CLineRelay::*pDrive)(bool), ERelayEntry eKind);
    void RelayChunk(BYTE byFirst, BYTE* pChunk, DWORD dwCapacity, ZEV::CCommWaiter& waiter, DWORD dwFaults,
                    CBreakHold& hold);
    void RelayFaults(ZEV::CCommWaiter& waiter, DWORD dwFaults, CBreakHold& hold);
    void RelayLook(const BYTE* pData, DWORD dwSize, DWORD dwErrors, DWORD dwFaults, CBreakHold& hold,
                   ULONGLONG qwMicros);
    void RelayBytes(const BYTE* pData, DWORD dwSize, CBreakHold& hold, ULONGLONG qwMicros);
    void WritePartner();
    void FinishWrites();
    void Report(ERelayEntry eKind, DWORD dwValue);
    void WakeEventThread();
    void ForgetPartner(CLineRelay* pPartner);
    void StartReceiving();
    bool StopReceiving();
    bool PauseReceiving(bool bAbortWrites);
    void ResumeReceiving();
    void GiveUpPort();

    CLineRelay(const CLineRelay&) = delete;
    CLineRelay& operator=(const CLineRelay&) = delete;

    ZEV::CWorkerThread m_receiveThread;
    ZEV::CMessageThread m_eventThread;
    ILineListener* m_pListener;
    CLineRelay* m_pPartner;
    int m_nIndex;
    // Written by the receive thread and its line poller under m_lineLock;
    // read by others once they settled.
    std::atomic<int> m_nLastCts;
    std::atomic<int> m_nLastDsr;
    ZEV::CSyncSection m_lineLock;
    // The DTR output last set, sent again after every RTS change.
    std::atomic<bool> m_bDtrOn;
    // Receive thread only: a break was reported before its 0x00 byte came.
    bool m_bBreakByteDue;
    // Receive thread only: breaks and errors put off until the bytes queued
    // before them are read (once).
    DWORD m_dwDeferredFaults;
    bool m_bFaultsDeferred;
    // Set to end the receive thread's wait at once.
    HANDLE m_hWake;
    // Set to end the receive thread's writes to the partner at once: the
    // partner closes or the program stops. A stop of the own port alone
    // leaves them to finish, so the last bytes read still go out.
    HANDLE m_hWriteAbort;
    // From the receive thread (and line poller) to the event thread.
    CRelayQueue m_queue;
    // Receive thread only: bytes on their way to the partner.
    ZEV::CWriteQueue m_writes;
    std::atomic<bool> m_bUnusable;

public:
    // Hardware output flow control by CTS; the port settings dialog sets it
    // on both relays before it opens them.
    bool m_bCtsFlow;
};

// Sets the four outputs of a freshly opened pair from the partner's inputs:
// port1 DTR from port2 DSR, port2 DTR from port1 DSR, then both CTS are
// read (port1 first) and each RTS follows the partner's CTS. Reports
// nothing and leaves the relays' last-seen states alone; the two CTS states
// read are handed back for the log's signal columns.
void PrimeLines(CLineRelay& port1, CLineRelay& port2, bool& bCts1, bool& bCts2);
