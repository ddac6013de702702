#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/CommDriver.h"

// Two simulated serial devices behind the comm-driver seam, one cabled to
// each of two ports (index 0 and 1). Thread-safe: ports may be polled from
// several threads while the test drives the devices.
//
//   CSimPortPair sim;                    // ports "\\.\COM1" and "\\.\COM2"
//   sim.Install();                       // CommDriver() is now the pair
//   sim.DeviceSend(0, "\x01\x02");       // device 0 transmits: port 0 receives
//   sim.SetDeviceRts(1, true);           // port 1 sees CTS on
//   ... run the code under test ...
//   sim.WaitForDeviceBytes(1, 2, 2000);  // device 1 got 2 bytes from port 1
//   EXPECT_EQ("\x01\x02", sim.TakeDeviceBytes(1));
//   EXPECT_TRUE(sim.GetPortRts(0));      // port 0's RTS as device 0 sees it
//   // the destructor uninstalls it again
//
// Behaviour of the simulated driver:
// - OpenPort takes the names given to the constructor (case-insensitive);
//   any other name fails with ERROR_FILE_NOT_FOUND. Ports open exclusively:
//   a second open, or one of a port marked busy, fails with
//   ERROR_ACCESS_DENIED. Each open hands out a new handle; a closed or
//   unknown handle fails every call with ERROR_INVALID_HANDLE.
// - ReadFile follows the read time-outs last applied: MAXDWORD/0/0 returns
//   at once with what the device has sent so far (up to the size asked);
//   MAXDWORD/MAXDWORD/c returns what is there, or waits up to c ms for the
//   first byte; otherwise it waits for the whole size up to
//   ReadTotalTimeoutMultiplier * size + ReadTotalTimeoutConstant (0: no
//   limit; the interval time-out is not modelled). ClearCommError reports
//   the queued count as cbInQue.
// - WriteFile hands the bytes to the device. With fOutxCtsFlow in the DCB
//   last applied and the port's CTS off (device RTS low), it holds the
//   write back until CTS comes on or the write time-out runs out
//   (WriteTotalTimeoutConstant + WriteTotalTimeoutMultiplier * size from
//   the time-outs last applied; both 0 = no limit); on time-out it succeeds
//   having written nothing. Closing the handle or PURGE_TXABORT ends a held
//   write with ERROR_OPERATION_ABORTED (PURGE_RXABORT a waiting read).
// - WaitCommEvent waits for the events of the mask set by SetCommMask
//   (EV_CTS, EV_DSR: the device's RTS or DTR changed; EV_RXCHAR: a byte
//   arrived; EV_BREAK, EV_ERR: see DeviceSendBreak, InjectLineError);
//   events that came while nobody waited end the next wait at once. A new
//   mask ends a waiting wait with no event. SIM_NO_LINE_EVENTS makes it
//   fail with ERROR_NOT_SUPPORTED, as Wine does on a pty.
// - A handle opened with FILE_FLAG_OVERLAPPED takes an OVERLAPPED on
//   ReadFile, WriteFile and WaitCommEvent: a call that cannot finish at once
//   answers ERROR_IO_PENDING and finishes later, setting the OVERLAPPED's
//   event; GetOverlappedResult and CancelIoEx work as on Windows; closing
//   the handle aborts what is pending. A handle opened without it is
//   serialised as on Windows: while one call on it waits (a read for its
//   bytes, a held write, an event wait), every other call on that handle,
//   from any thread, waits until it is done.
// - GetCommModemStatus: MS_CTS_ON when the device's RTS is up, MS_DSR_ON
//   when its DTR is up.
// - The port's RTS and DTR follow EscapeCommFunction (SETRTS..CLRDTR) and
//   SetCommState (RTS_CONTROL_ENABLE / DTR_CONTROL_ENABLE raise them,
//   *_DISABLE drops them, handshake modes leave them). CloseHandle leaves
//   them as they are, so a test sees whether the code dropped them itself.
// - SetCommState fails with ERROR_INVALID_PARAMETER when XonChar equals
//   XoffChar, as Windows' does.
// - As under Wine, CancelIoEx does not end a WaitCommEvent. fNull drops 0x00
//   bytes; after InjectLineError with fAbortOnError, I/O fails until
//   ClearCommError. SIM_USBSER: no CTS events, RTS reaches the device only with
//   DTR or SetCommState, 121 on a write time-out; SIM_CH340: MAXDWORD/MAXDWORD/c
//   reads end at once; SIM_FTDI: half of a timed-out write goes and is counted;
//   SIM_WINE: line events are not prompt and a wait sees only what happens
//   after it is armed;
//   SIM_REUSE_HANDLES: a reopened port gets the value closed last.
class CSimPortPair : public ZEV::ICommDriver {
public:
    // The device calls that are counted.
    enum ESimCall {
        SIM_OPEN,
        SIM_GET_STATE,
        SIM_SET_STATE,
        SIM_GET_TIMEOUTS,
        SIM_SET_TIMEOUTS,
        SIM_PURGE,
        SIM_CLEAR_ERROR,
        SIM_SET_MASK,
        SIM_WAIT_EVENT,
        SIM_MODEM_STATUS,
        SIM_ESCAPE,
        SIM_READ,
        SIM_WRITE,
        SIM_OVERLAPPED_RESULT,
        SIM_CANCEL,
        SIM_CLOSE,
        SIM_CALL_COUNT
    };

    // Switches for failures of one port.
    enum ESimFault {
        SIM_ABSENT,            // OpenPort: ERROR_FILE_NOT_FOUND
        SIM_BUSY,              // OpenPort: ERROR_ACCESS_DENIED
        SIM_STATUS_UNREADABLE, // GetCommModemStatus: ERROR_GEN_FAILURE
        SIM_STATE_REFUSED,     // SetCommState: ERROR_INVALID_PARAMETER
        SIM_READ_FAILS,        // ReadFile: ERROR_GEN_FAILURE
        SIM_WRITE_FAILS,       // WriteFile: ERROR_GEN_FAILURE
        SIM_QUEUE_UNREADABLE,  // ClearCommError: ERROR_GEN_FAILURE
        SIM_NO_LINE_EVENTS,    // WaitCommEvent for EV_CTS/EV_DSR: ERROR_NOT_SUPPORTED
        SIM_STATUS_HANGS,      // GetCommModemStatus: does not return while set (a bad driver)
        SIM_USBSER,            // driver personalities (see above)
        SIM_CH340,
        SIM_FTDI,
        SIM_WINE,
        SIM_REUSE_HANDLES,
        SIM_FAULT_COUNT
    };

    // Port index for call counts: any port, including unknown handles.
    static const int SIM_ANY_PORT = -1;

    CSimPortPair(const char* pszName0 = "\\\\.\\COM1", const char* pszName1 = "\\\\.\\COM2");
    ~CSimPortPair() override;

    CSimPortPair(const CSimPortPair&) = delete;
    CSimPortPair& operator=(const CSimPortPair&) = delete;

    // Makes the pair the installed comm driver; Uninstall puts the previous
    // one back.
    void Install();
    void Uninstall();

    // --- device side ---
    // The device on port nPort transmits: the bytes join the port's
    // receive queue.
    void DeviceSend(int nPort, const void* pData, DWORD dwSize);
    void DeviceSend(int nPort, const std::string& strBytes);
    // What the port transmitted to its device: Take drains it, Get peeks.
    std::string TakeDeviceBytes(int nPort);
    std::string GetDeviceBytes(int nPort) const;
    // Waits until the device holds at least nCount bytes from its port.
    bool WaitForDeviceBytes(int nPort, size_t nCount, DWORD dwTimeout);
    // The device's outputs, which are the port's CTS and DSR inputs.
    void SetDeviceRts(int nPort, bool bOn);
    void SetDeviceDtr(int nPort, bool bOn);
    // The port's outputs as its device sees them.
    bool GetPortRts(int nPort) const;
    bool GetPortDtr(int nPort) const;
    // Every EscapeCommFunction code applied to the port, in order.
    std::vector<DWORD> GetEscapes(int nPort) const;

    // --- driver state ---
    void SetFault(int nPort, ESimFault fault, bool bOn);
    // Line errors for ClearCommError (CE_FRAME, CE_RXPARITY, CE_OVERRUN also EV_ERR).
    void InjectLineError(int nPort, DWORD dwErrors = CE_FRAME);
    // A break as Windows' drivers get it: 0x00 (unless fNull), CE_BREAK, EV_BREAK.
    void DeviceSendBreak(int nPort);
    // Where the port's breaks (SetCommBreak) fell among the bytes its device
    // got: the count of bytes before each; in pbOn whether one is held now.
    std::vector<size_t> GetDeviceBreaks(int nPort, bool* pbOn = nullptr) const;
    DWORD GetClosedHandleCalls() const;
    // At most dwLimit bytes per WriteFile (0: every write writes nothing).
    void SetWriteLimit(int nPort, DWORD dwLimit);
    // At most dwLimit bytes per ReadFile: a flood takes one read per byte.
    void SetReadLimit(int nPort, DWORD dwLimit);
    // What GetCommState reports before any SetCommState, and after it.
    void SetDriverDcb(int nPort, const DCB& dcb);
    void SetDriverTimeouts(int nPort, const COMMTIMEOUTS& timeouts);
    DCB GetDcb(int nPort) const;
    COMMTIMEOUTS GetTimeouts(int nPort) const;
    // Bytes waiting in the port's receive queue.
    size_t GetQueuedCount(int nPort) const;
    bool IsPortOpen(int nPort) const;
    // Whether the port's handle was opened with FILE_FLAG_OVERLAPPED.
    bool IsPortOverlapped(int nPort) const;
    HANDLE GetOpenHandle(int nPort) const;
    // Every PurgeComm flag word applied to the port, in order.
    std::vector<DWORD> GetPurges(int nPort) const;

    DWORD GetCallCount(ESimCall call, int nPort = SIM_ANY_PORT) const;
    // All calls of any kind (unknown handles included).
    DWORD GetTotalCallCount() const;
    void ResetCallCounts();

    // Waits until pred answers true, re-checking on every change of the
    // pair and at least every 20 ms. pred may call the pair's methods.
    bool WaitUntil(const std::function<bool()>& pred, DWORD dwTimeout);

    // --- ICommDriver ---
    HANDLE OpenPort(const char* name, DWORD dwFlags = FILE_ATTRIBUTE_NORMAL) override;
    BOOL GetCommState(HANDLE hPort, DCB* pDcb) override;
    BOOL SetCommState(HANDLE hPort, DCB* pDcb) override;
    BOOL GetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts) override;
    BOOL SetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts) override;
    BOOL PurgeComm(HANDLE hPort, DWORD dwFlags) override;
    BOOL ClearCommError(HANDLE hPort, DWORD* pErrors, COMSTAT* pStat) override;
    BOOL SetCommMask(HANDLE hPort, DWORD dwMask) override;
    BOOL WaitCommEvent(HANDLE hPort, DWORD* pMask, OVERLAPPED* pOverlapped = nullptr) override;
    BOOL GetCommModemStatus(HANDLE hPort, DWORD* pStatus) override;
    bool HasPromptLineEvents() override;
    BOOL EscapeCommFunction(HANDLE hPort, DWORD dwFunc) override;
    BOOL SetCommBreak(HANDLE hPort) override;
    BOOL ClearCommBreak(HANDLE hPort) override;
    BOOL ReadFile(HANDLE hPort, void* pBuffer, DWORD dwSize, DWORD* pRead,
                  OVERLAPPED* pOverlapped = nullptr) override;
    BOOL WriteFile(HANDLE hPort, const void* pData, DWORD dwSize, DWORD* pWritten,
                   OVERLAPPED* pOverlapped = nullptr) override;
    BOOL GetOverlappedResult(HANDLE hPort, OVERLAPPED* pOverlapped, DWORD* pCount, BOOL bWait) override;
    BOOL CancelIoEx(HANDLE hPort, OVERLAPPED* pOverlapped) override;
    BOOL CloseHandle(HANDLE hPort) override;

private:
    typedef std::chrono::steady_clock TClock;

    enum EOpKind { OP_READ, OP_WRITE, OP_WAIT_EVENT };

    // A read, write or event wait that has not finished yet.
    struct TPendingOp {
        EOpKind kind;
        int nPort;
        OVERLAPPED* pOverlapped;   // nullptr: a synchronous call waits for it
        BYTE* pBuffer;             // read
        std::string strData;       // write
        DWORD dwSize;
        DWORD* pMask;              // event wait
        bool bFirstByte;           // read: ends with the first byte
        bool bHasDeadline;
        TClock::time_point deadline;
        bool bDone;
        DWORD dwError;
        DWORD dwCount;
    };
    struct TSimPort {
        std::string strName;
        bool bFaults[SIM_FAULT_COUNT] = {};
        DWORD dwWriteLimit = 0xFFFFFFFF;
        DWORD dwReadLimit = 0xFFFFFFFF;
        HANDLE hOpen = NULL;
        std::deque<BYTE> rxQueue;
        std::string strDeviceBytes;
        bool bDeviceRts = false;
        bool bDeviceDtr = false;
        bool bPortRts = false;
        bool bPortDtr = false;
        bool bRtsAsked = false;
        bool bPortBreak = false;
        std::vector<size_t> breaks;
        bool bRtsLagged = false;
        DWORD dwErrors = 0;
        bool bAborting = false;
        bool bOverlapped = false;
        // A call on a synchronous handle is in progress.
        bool bSyncBusy = false;
        DWORD dwEventMask = 0;
        DWORD dwEventsSeen = 0;
        DCB dcb = {};
        COMMTIMEOUTS timeouts = {};
        std::vector<DWORD> escapes;
        std::vector<DWORD> purges;
    };

    static const int UNKNOWN_PORT = 2;

    TSimPort& Port(int nPort);
    const TSimPort& Port(int nPort) const;
    // The open port behind hPort, or nullptr; counts the call either way.
    TSimPort* Find(HANDLE hPort, ESimCall call);
    void ApplyLineControl(TSimPort& port);
    int IndexOf(const TSimPort& port) const { return &port == &m_ports[1] ? 1 : 0; }
    // Windows' serialisation of a synchronous handle: waits until no other
    // call on it runs, then marks it busy until the guard goes.
    class CSyncTurn;
    class CErrorOnExit;
    struct CCall;
    // Starts an operation: finishes it at once when it can, else makes it
    // pending (overlapped) or waits for its end (synchronous).
    BOOL Submit(std::unique_lock<std::mutex>& lock, CErrorOnExit& error, TSimPort& port, TPendingOp op,
                DWORD* pCount);
    // Finishes what it can of the pending operations; the clock thread and
    // every change of the devices call it.
    void Progress();
    bool TryFinish(TPendingOp& op);
    void Complete(TPendingOp& op, DWORD dwError, DWORD dwCount);
    void AbortOps(int nPort, bool bReads, bool bWrites, bool bWaits);
    void NoteEvent(TSimPort& port, DWORD dwEvent);
    BOOL SetBreak(HANDLE hPort, bool bOn);
    DWORD TakeReadable(TSimPort& port, BYTE* pBuffer, DWORD dwSize);
    void ClockLoop();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::list<TPendingOp> m_ops;
    bool m_bStopClock;
    std::thread m_clock;
    TSimPort m_ports[2];
    DWORD m_dwCalls[3][SIM_CALL_COUNT];
    DWORD m_dwNextHandle;
    std::vector<HANDLE> m_closed;
    DWORD m_dwClosedCalls;
    bool m_bInstalled;
    ZEV::ICommDriver* m_pPrevious;
};
