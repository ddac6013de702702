#include "serial/CommDriver.h"

namespace ZEV {

ICommDriver::~ICommDriver() {}

namespace {

class CWin32CommDriver : public ICommDriver {
public:
    HANDLE OpenPort(const char* name) override
    {
        return ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    }
    BOOL GetCommState(HANDLE h, DCB* p) override { return ::GetCommState(h, p); }
    BOOL SetCommState(HANDLE h, DCB* p) override { return ::SetCommState(h, p); }
    BOOL GetCommTimeouts(HANDLE h, COMMTIMEOUTS* p) override { return ::GetCommTimeouts(h, p); }
    BOOL SetCommTimeouts(HANDLE h, COMMTIMEOUTS* p) override { return ::SetCommTimeouts(h, p); }
    BOOL PurgeComm(HANDLE h, DWORD dw) override { return ::PurgeComm(h, dw); }
    BOOL ClearCommError(HANDLE h, DWORD* pErr, COMSTAT* pStat) override
    {
        return ::ClearCommError(h, pErr, pStat);
    }
    BOOL SetCommMask(HANDLE h, DWORD dw) override { return ::SetCommMask(h, dw); }
    BOOL GetCommModemStatus(HANDLE h, DWORD* p) override { return ::GetCommModemStatus(h, p); }
    BOOL EscapeCommFunction(HANDLE h, DWORD dw) override { return ::EscapeCommFunction(h, dw); }
    BOOL ReadFile(HANDLE h, void* p, DWORD n, DWORD* pRead) override
    {
        return ::ReadFile(h, p, n, pRead, NULL);
    }
    BOOL WriteFile(HANDLE h, const void* p, DWORD n, DWORD* pWritten) override
    {
        return ::WriteFile(h, p, n, pWritten, NULL);
    }
    BOOL CloseHandle(HANDLE h) override { return ::CloseHandle(h); }
};

CWin32CommDriver& Win32Driver()
{
    static CWin32CommDriver s_driver;
    return s_driver;
}

// Read on every device call from several threads; written only by tests
// between runs, hence no lock.
ICommDriver* volatile s_pDriver = nullptr;

} // namespace

ICommDriver& CommDriver()
{
    ICommDriver* p = s_pDriver;
    return p ? *p : Win32Driver();
}

ICommDriver* SetCommDriver(ICommDriver* p)
{
    ICommDriver* pOld = s_pDriver;
    s_pDriver = p;
    return pOld ? pOld : &Win32Driver();
}

} // namespace ZEV
