#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
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
// - ReadFile never waits: it returns what the device has sent so far, up
//   to the size asked. ClearCommError reports that count as cbInQue.
// - WriteFile hands the bytes to the device. With fOutxCtsFlow in the DCB
//   last applied and the port's CTS off (device RTS low), it holds the
//   write back until CTS comes on or the write time-out runs out
//   (WriteTotalTimeoutConstant + WriteTotalTimeoutMultiplier * size from
//   the time-outs last applied; both 0 = no limit); on time-out it succeeds
//   having written nothing. Closing the handle or PURGE_TXABORT ends a held
//   write with ERROR_OPERATION_ABORTED.
// - GetCommModemStatus: MS_CTS_ON when the device's RTS is up, MS_DSR_ON
//   when its DTR is up.
// - The port's RTS and DTR follow EscapeCommFunction (SETRTS..CLRDTR) and
//   SetCommState (RTS_CONTROL_ENABLE / DTR_CONTROL_ENABLE raise them,
//   *_DISABLE drops them, handshake modes leave them). CloseHandle leaves
//   them as they are, so a test sees whether the code dropped them itself.
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
        SIM_MODEM_STATUS,
        SIM_ESCAPE,
        SIM_READ,
        SIM_WRITE,
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
    // At most dwLimit bytes per WriteFile (0: every write writes nothing).
    void SetWriteLimit(int nPort, DWORD dwLimit);
    // What GetCommState reports before any SetCommState, and after it.
    void SetDriverDcb(int nPort, const DCB& dcb);
    void SetDriverTimeouts(int nPort, const COMMTIMEOUTS& timeouts);
    DCB GetDcb(int nPort) const;
    COMMTIMEOUTS GetTimeouts(int nPort) const;
    // Bytes waiting in the port's receive queue.
    size_t GetQueuedCount(int nPort) const;
    bool IsPortOpen(int nPort) const;
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
    HANDLE OpenPort(const char* name) override;
    BOOL GetCommState(HANDLE hPort, DCB* pDcb) override;
    BOOL SetCommState(HANDLE hPort, DCB* pDcb) override;
    BOOL GetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts) override;
    BOOL SetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts) override;
    BOOL PurgeComm(HANDLE hPort, DWORD dwFlags) override;
    BOOL ClearCommError(HANDLE hPort, DWORD* pErrors, COMSTAT* pStat) override;
    BOOL SetCommMask(HANDLE hPort, DWORD dwMask) override;
    BOOL GetCommModemStatus(HANDLE hPort, DWORD* pStatus) override;
    BOOL EscapeCommFunction(HANDLE hPort, DWORD dwFunc) override;
    BOOL ReadFile(HANDLE hPort, void* pBuffer, DWORD dwSize, DWORD* pRead) override;
    BOOL WriteFile(HANDLE hPort, const void* pData, DWORD dwSize, DWORD* pWritten) override;
    BOOL CloseHandle(HANDLE hPort) override;

private:
    struct TSimPort {
        std::string strName;
        bool bFaults[SIM_FAULT_COUNT] = {};
        DWORD dwWriteLimit = 0xFFFFFFFF;
        HANDLE hOpen = NULL;
        // Bumped by every close and TX abort, to end held writes.
        DWORD dwAbortGeneration = 0;
        std::deque<BYTE> rxQueue;
        std::string strDeviceBytes;
        bool bDeviceRts = false;
        bool bDeviceDtr = false;
        bool bPortRts = false;
        bool bPortDtr = false;
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
    DWORD HoldForCts(std::unique_lock<std::mutex>& lock, TSimPort& port, DWORD dwSize);
    static BOOL Finish(DWORD dwError);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    TSimPort m_ports[2];
    DWORD m_dwCalls[3][SIM_CALL_COUNT];
    DWORD m_dwNextHandle;
    bool m_bInstalled;
    ZEV::ICommDriver* m_pPrevious;
};
