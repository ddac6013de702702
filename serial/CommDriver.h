#pragma once

#include <windows.h>

namespace ZEV {

// Every device call of the serial port and the relay goes through this
// interface, so that tests can put simulated devices behind the ports.
// The default driver forwards each call to Win32 unchanged; failures set
// the thread's last error as Win32 would.
class ICommDriver {
public:
    virtual ~ICommDriver();
    // CreateFileA(name, GENERIC_READ|GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
    //             FILE_ATTRIBUTE_NORMAL, NULL)
    virtual HANDLE OpenPort(const char* name) = 0;
    virtual BOOL GetCommState(HANDLE hPort, DCB* pDcb) = 0;
    virtual BOOL SetCommState(HANDLE hPort, DCB* pDcb) = 0;
    virtual BOOL GetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts) = 0;
    virtual BOOL SetCommTimeouts(HANDLE hPort, COMMTIMEOUTS* pTimeouts) = 0;
    virtual BOOL PurgeComm(HANDLE hPort, DWORD dwFlags) = 0;
    virtual BOOL ClearCommError(HANDLE hPort, DWORD* pErrors, COMSTAT* pStat) = 0;
    virtual BOOL SetCommMask(HANDLE hPort, DWORD dwMask) = 0;
    virtual BOOL GetCommModemStatus(HANDLE hPort, DWORD* pStatus) = 0;
    virtual BOOL EscapeCommFunction(HANDLE hPort, DWORD dwFunc) = 0;
    virtual BOOL ReadFile(HANDLE hPort, void* pBuffer, DWORD dwSize, DWORD* pRead) = 0;
    virtual BOOL WriteFile(HANDLE hPort, const void* pData, DWORD dwSize, DWORD* pWritten) = 0;
    virtual BOOL CloseHandle(HANDLE hPort) = 0;
};

// The installed driver; the Win32 one unless a test installed another.
ICommDriver& CommDriver();

// Installs p (nullptr restores the Win32 driver) and returns the previous one.
ICommDriver* SetCommDriver(ICommDriver* p);

} // namespace ZEV
