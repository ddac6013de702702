#pragma once

#include <windows.h>

#include <deque>

#include "monitor/BreakHold.h"
#include "monitor/LineListener.h"
#include "serial/MessageThread.h"
#include "serial/SerialPort.h"
#include "serial/WorkerThread.h"

namespace ZEV {
class CCommWaiter;
}

// Thread messages from a relay's receive thread to its own event thread
// (wParam is always 0).
const UINT WM_RELAY_CTS = 0x8000;  // lParam: new CTS state, 0 or 1
const UINT WM_RELAY_DSR = 0x8001;  // lParam: new DSR state, 0 or 1
const UINT WM_RELAY_DATA = 0x8002; // lParam: the received byte
// lParam: the number of received bytes (more than one) the receive thread
// queued for the event thread, in order with the messages above.
const UINT WM_RELAY_BLOCK = 0x8003;
const UINT WM_RELAY_EVENT = 0x8004; // lParam: the ELineEvent

// One side of the relaying pair. Its receive thread sleeps until the own
// port has bytes or its lines change, hands every byte already received to
// the partner port in one write and mirrors the own CTS/DSR inputs onto the
// partner's RTS/DTR outputs; its event thread turns what the receive thread
// saw into listener calls, one per byte, so that logging never holds up the
// relay.
class CLineRelay : public ZEV::CSerialPort,
                   public ZEV::IThreadRunner,
                   public ZEV::IThreadListener
{
public:
    CLineRelay();
    virtual ~CLineRelay();

    // Binds index, listener and partner and starts the event thread.
    void Attach(int nIndex, ILineListener* pListener, CLineRelay* pPartner);

    BOOL Open() override;
    void Close() override;
    BOOL OnCommSetting(HANDLE hPort, DCB* pDcb, COMMTIMEOUTS* pTimeouts) override;

    // Receive thread body: each wake-up looks at CTS, then DSR, then relays
    // what arrived.
    DWORD RelayLoop();

    // Own CTS input, read now; a failed read counts as off (IsDsrOn is the
    // port's own).
    bool IsCtsOn();
    // Own modem outputs; failures are ignored, a closed port is not touched.
    // An RTS change sends DTR again as it is: usbser.sys passes the lines to
    // the device only with a DTR request, and the driver cannot be told.
    void SetRts(bool bOn);
    void SetDtr(bool bOn);

    int GetIndex() const { return m_nIndex; }
    int GetLastCts() const { return m_nLastCts; }
    int GetLastDsr() const { return m_nLastDsr; }
    bool IsReceiving() const { return m_receiveThread.IsAlive(); }
    bool IsReporting() const { return m_eventThread.IsAlive(); }
    DWORD GetReceiveThreadId() const { return m_receiveThread.GetThreadId(); }
    DWORD GetEventThreadId() const { return m_eventThread.GetThreadId(); }

    // IThreadRunner
    DWORD Run() override;
    void OnThreadStart() override {}
    void OnThreadExit() override {}

    // IThreadListener: the event thread's handler; never ends the thread.
    BOOL OnThreadMessage(UINT nMessage, WPARAM wParam, LPARAM lParam) override;

private:
    DWORD ReadModemStatus(bool* pbReadable = nullptr);
    bool WatchLines(bool* pbReadable = nullptr);
    bool WatchLine(DWORD dwOn, volatile int& nLast, void (CLineRelay::*pDrive)(bool), UINT nMessage);
    void RelayChunk(BYTE byFirst, BYTE* pChunk, DWORD dwCapacity, ZEV::CCommWaiter& waiter, DWORD dwFaults,
                    CBreakHold& hold);
    void RelayFaults(ZEV::CCommWaiter& waiter, DWORD dwFaults, CBreakHold& hold);
    void RelayLook(const BYTE* pData, DWORD dwSize, DWORD dwErrors, DWORD dwFaults, CBreakHold& hold);
    void RelayBytes(const BYTE* pData, DWORD dwSize, CBreakHold& hold);
    void HandOver(const BYTE* pData, DWORD dwSize);
    void ReportData(const BYTE* pData, DWORD dwSize);
    void TakeBlock(DWORD dwSize);
    void PostEvent(UINT nMessage, BYTE nValue);
    void ForgetPartner(CLineRelay* pPartner);
    void StartReceiving();
    void StopReceiving();
    bool PauseReceiving();
    void ResumeReceiving();

    CLineRelay(const CLineRelay&) = delete;
    CLineRelay& operator=(const CLineRelay&) = delete;

    ZEV::CWorkerThread m_receiveThread;
    ZEV::CMessageThread m_eventThread;
    ILineListener* m_pListener;
    CLineRelay* m_pPartner;
    int m_nIndex;
    // Written by the receive thread and its line poller under m_lineLock;
    // read by others once they settled.
    volatile int m_nLastCts;
    volatile int m_nLastDsr;
    ZEV::CSyncSection m_lineLock;
    // The DTR output last set, sent again after every RTS change.
    volatile bool m_bDtrOn;
    // Receive thread only: a break was reported before its 0x00 byte came.
    bool m_bBreakByteDue;
    // Receive thread only: breaks and errors put off until the bytes queued
    // before them are read (once).
    DWORD m_dwDeferredFaults;
    bool m_bFaultsDeferred;
    // Set to end the receive thread's wait at once.
    HANDLE m_hWake;
    // Bytes announced by WM_RELAY_BLOCK and not yet reported, oldest first.
    std::deque<BYTE> m_received;
    ZEV::CSyncSection m_receivedLock;

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
