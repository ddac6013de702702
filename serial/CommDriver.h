#pragma once

#include <windows.h>

namespace ZEV {

// Every device call of the serial port and the relay goes through this
// interface, so that tests can put simulated devices behind the ports.
// The default driver forwards each call to Win32 unchanged; failures set
// the thread's last error as Win32 would.
//
// A port opened with FILE_FLAG_OVERLAPPED takes an OVERLAPPED (with an event)
// on every read, write and event wait; such a call may answer no with
// ERROR_IO_PENDING and finish later, signalling the event. Windows serialises
// all calls on a handle opened without it: while one thread waits in a read,
// another thread's write to the same port waits too.
class ICommDriver {
public:
    virtual ~ICommDriver();
    // CreateFileA(name, GENERIC_READ|GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
    //             dwFlags, NULL)
    virtual HANDLE OpenPort(const char* name, DWORD dwFlags = FILE_ATTRIBUTE_NORMAL) = 0;
    virtual BOOL GetCommState(HANDLE hPort, DCB* pDcb) = 0;
    virtual BOOL SetCommState(HANDLE hPort, DCB* pDcb) = 0;
    virtual BOOL GetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts) = 0;
    virtual BOOL SetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts) = 0;
    virtual BOOL PurgeComm(HANDLE hPort, DWORD dwFlags) = 0;
    virtual BOOL ClearCommError(HANDLE hPort, DWORD* pErrors, COMSTAT* pStat) = 0;
    virtual BOOL SetCommMask(HANDLE hPort, DWORD dwMask) = 0;
    virtual BOOL WaitCommEvent(HANDLE hPort, DWORD* pMask, OVERLAPPED* pOverlapped) = 0;
    virtual BOOL GetCommModemStatus(HANDLE hPort, DWORD* pStatus) = 0;
    virtual BOOL EscapeCommFunction(HANDLE hPort, DWORD dwFunc) = 0;
    // Holds the transmit line in a break until ClearCommBreak.
    virtual BOOL SetCommBreak(HANDLE hPort) = 0;
    virtual BOOL ClearCommBreak(HANDLE hPort) = 0;
    virtual BOOL ReadFile(HANDLE hPort, void* pBuffer, DWORD dwSize, DWORD* pRead,
                          OVERLAPPED* pOverlapped = nullptr) = 0;
    virtual BOOL WriteFile(HANDLE hPort, const void* pData, DWORD dwSize, DWORD* pWritten,
                           OVERLAPPED* pOverlapped = nullptr) = 0;
    virtual BOOL GetOverlappedResult(HANDLE hPort, OVERLAPPED* pOverlapped, DWORD* pCount, BOOL bWait) = 0;
    // Cancels pOverlapped's operation on the port (all of them for nullptr).
    virtual BOOL CancelIoEx(HANDLE hPort, OVERLAPPED* pOverlapped) = 0;
    virtual BOOL CloseHandle(HANDLE hPort) = 0;
    // Asks the driver for queues of these sizes (a request it may round or
    // ignore). Simulated drivers need not model it.
    virtual BOOL SetupComm(HANDLE /*hPort*/, DWORD /*dwInQueue*/, DWORD /*dwOutQueue*/) { return TRUE; }
    // Whether a pending WaitCommEvent for line changes ends as soon as a line
    // changes and costs nothing while it waits, as Windows' drivers do. Wine's
    // re-reads the lines every millisecond and ends a millisecond or more
    // late, later on a busy machine; there the caller reads the lines itself
    // while they change, and leaves quiet lines to the event.
    virtual bool HasPromptLineEvents() { return true; }
    // Whether ClearCommError reports which line error happened (CE_BREAK,
    // CE_FRAME, ...), a break coming with a 0x00 byte in the data. Wine's
    // reports no bits: its breaks and errors show only as EV_BREAK and
    // EV_ERR, from the kernel's counts, and the break's byte is dropped.
    virtual bool ReportsLineErrors() { return true; }
};

// The installed driver; the Win32 one unless a test installed another.
ICommDriver& CommDriver();

// Installs p (nullptr restores the Win32 driver) and returns the previous one.
ICommDriver* SetCommDriver(ICommDriver* p);

} // namespace ZEV
